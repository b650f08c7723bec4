// Reading and writing the camera's flash: the device record (area 7) and
// the data areas 1 to 6.
#pragma once

#include <cstdint>

namespace quorvel {

// Operations 61 (read the device record), 921 (rewrite it), 922 (read an
// area), 923 (write areas 2 onward), 62 and 924 (nothing). The camera is
// found by handle and must be connected.
bool FlashOperation(const char* handle, std::int32_t operation,
                    std::uint8_t* buffer, std::int32_t length);

}  // namespace quorvel
