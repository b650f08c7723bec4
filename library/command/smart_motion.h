// Smart-motion items: camera settings read and written over the command
// channel, and the three items the library keeps itself (207 minimum object
// size, 208 highlight selection, 209 object detection).
#pragma once

#include <cstdint>

#include "registry/camera_record.h"

namespace quorvel {

// A camera setting is confirmed by reading it back for up to about five
// seconds; a camera disconnected meanwhile fails the call.
bool SetSmartMotion(CameraRecord& record, std::int32_t item,
                    std::int32_t value);
// valueOut is written only on success.
bool GetSmartMotion(CameraRecord& record, std::int32_t item,
                    std::int32_t* valueOut);

}  // namespace quorvel
