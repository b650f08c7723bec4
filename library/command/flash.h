// Reading and writing the camera's flash: the device record (area 7) and
// the data areas 1 to 6.
#pragma once

#include <cstdint>

#include "registry/camera_record.h"

namespace quorvel {

// Operations 61 (read the device record), 921 (rewrite it), 922 (read an
// area), 923 (write areas 2 onward), 62 and 924 (nothing), on a connected
// camera. Each holds the command channel for all of its transactions.
bool FlashOperation(CameraRecord& record, std::int32_t operation,
                    std::uint8_t* buffer, std::int32_t length);

}  // namespace quorvel
