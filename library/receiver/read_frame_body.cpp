#include "receiver/read_frame_body.h"

#include <algorithm>

#include "imaging/frame_size.h"

namespace quorvel {

std::int32_t CameraFrameBytes(CameraRecord& record) {
  std::lock_guard<std::mutex> lock(record.formatLock);
  return FrameByteSize(record.width, record.height, record.pixelFormat);
}

command::ReceiveOutcome ReadFrameBody(
    CameraRecord& record, const platform::Socket& socket, std::uint8_t* buffer,
    std::int32_t capacity, std::int32_t offset, std::int32_t length) {
  const std::int32_t bytes = length > 0 ? length : CameraFrameBytes(record);
  if (bytes <= 0) return command::ReceiveOutcome::kFailed;
  std::int32_t stored = 0;
  if (buffer != nullptr && offset >= 0 && offset < capacity) {
    stored = std::min(bytes, capacity - offset);
  }
  const command::ReceiveOutcome got =
      command::ReceiveAll(socket, buffer + (stored > 0 ? offset : 0), stored);
  if (got != command::ReceiveOutcome::kOk) return got;
  return command::DiscardBytes(socket, std::int64_t{bytes} - stored);
}

}  // namespace quorvel
