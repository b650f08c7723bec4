#include "receiver/read_frame_body.h"

#include <algorithm>


namespace quorvel {

platform::IoResult ReadFrameBody(CameraRecord& record,
                                 platform::ByteStream& input,
                                 std::uint8_t* buffer, std::int32_t capacity,
                                 std::int32_t offset, std::int32_t length) {
  const std::int32_t bytes = length > 0 ? length : FrameBytesOf(record);
  if (bytes <= 0) return platform::IoResult::kFailed;
  std::int32_t stored = 0;
  if (buffer != nullptr && offset >= 0 && offset < capacity) {
    stored = std::min(bytes, capacity - offset);
  }
  const platform::IoResult got =
      input.Read(buffer + (stored > 0 ? offset : 0), stored);
  if (got != platform::IoResult::kOk) return got;
  return input.Skip(std::int64_t{bytes} - stored);
}

}  // namespace quorvel
