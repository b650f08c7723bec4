// Smart-motion items: camera settings read and written over the command
// channel, and the three items the library keeps itself (207 minimum object
// size, 208 highlight selection, 209 object detection).
#pragma once

#include <cstdint>

namespace quorvel {

// The camera is looked up by its handle text, and again for every
// read-back, so a camera disconnected meanwhile fails the call.
bool SetSmartMotion(const char* handle, std::int32_t item, std::int32_t value);
// valueOut is written only on success.
bool GetSmartMotion(const char* handle, std::int32_t item,
                    std::int32_t* valueOut);

}  // namespace quorvel
