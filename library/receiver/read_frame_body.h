// Reading one data packet's body into a frame buffer.
#pragma once

#include <cstdint>

#include "platform/byte_stream.h"
#include "registry/camera_record.h"

namespace quorvel {

// Reads a data packet body of length bytes (a whole frame, as the camera's
// frame size gives it, for a length of 0 or less) into buffer at offset.
// Bytes that would land at or past capacity are read and dropped, so a
// packet longer than its frame never writes outside the buffer and the
// stream stays in step. Fails when the read fails or the frame size is 0 or
// less.
[[nodiscard]] platform::IoResult ReadFrameBody(
    CameraRecord& record, platform::ByteStream& input, std::uint8_t* buffer,
    std::int32_t capacity, std::int32_t offset, std::int32_t length);

}  // namespace quorvel
