// Data channel wire layout (camera port 3001, camera to library). Every
// packet is an 8-byte header {int32 type, int32 length} and a body.
#pragma once

#include <cstdint>

namespace quorvel::receiver {

inline constexpr std::uint16_t kDataPort = 3001;

inline constexpr std::int32_t kFrameHeaderPacket = 51;
inline constexpr std::int32_t kImageDataPacket = 129;
inline constexpr std::int32_t kMaskDataPacket = 130;
inline constexpr std::int32_t kCommandDonePacket = 256;

inline constexpr std::int32_t kPacketHeaderSize = 8;
// Frame header body: {int32 flags, int32 width, int32 lines}.
inline constexpr std::int32_t kFrameHeaderBodySize = 12;

// The frame is complete after the next data packet.
inline constexpr std::int32_t kFrameCompleteBit = 1;
// This piece starts a new frame.
inline constexpr std::int32_t kFrameStartBit = 4;

struct FrameHeader {
  std::int32_t flags;
  std::int32_t width;
  std::int32_t lines;
};
static_assert(sizeof(FrameHeader) == kFrameHeaderBodySize,
              "a frame header body is three packed int32");

}  // namespace quorvel::receiver
