// Counts frames in a camera's data-channel byte stream by parsing packet
// headers alone, the least any receiver must do: bodies are skipped, not
// stored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "receiver/data_wire.h"

namespace scale {

class FrameCounter {
 public:
  // frameBytes: the body of a data packet whose length is 0 or less.
  explicit FrameCounter(std::int64_t frameBytes) : frameBytes_(frameBytes) {}

  void Feed(const std::uint8_t* bytes, std::size_t count);

  // Data packets that followed a frame header.
  std::uint64_t frames() const { return frames_; }
  // Completion notices of command 256.
  std::uint64_t completions() const { return completions_; }

 private:
  void EndPacket();

  const std::int64_t frameBytes_;
  std::uint8_t header_[quorvel::receiver::kPacketHeaderSize] = {};
  std::size_t headerFill_ = 0;
  std::int32_t type_ = 0;
  std::int64_t bodyLeft_ = 0;
  bool frameOpen_ = false;
  std::uint64_t frames_ = 0;
  std::uint64_t completions_ = 0;
};

}  // namespace scale
