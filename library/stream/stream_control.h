// Starting and stopping a camera's stream, display options and rates.
#pragma once

#include <cstdint>

#include "quorvel/quorvel.h"
#include "registry/camera_record.h"

namespace quorvel {

// Binds window (when it differs from the bound one), resets both rates and
// sends command 1. withCallback selects the raw-frame form: a null window
// still streams, and callback/user become the stream callback.
void StartVideoStream(CameraRecord& record, RvxWindow window, bool withCallback,
                      RvxStreamCallback callback, std::int32_t user);
// Sends command 2; the stream counts as stopped whatever the camera says.
void StopVideoStream(CameraRecord& record);

bool SetMiscOption(CameraRecord& record, std::int32_t option,
                   std::int32_t value);
bool GetMiscOption(CameraRecord& record, std::int32_t option,
                   std::int32_t* result);
bool GetFPS(CameraRecord& record, std::int32_t selector, double* result);

}  // namespace quorvel
