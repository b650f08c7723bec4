// Setting the application's callbacks on one camera. Each may be called at
// any time, streaming or not; a null callback removes it.
#pragma once

#include <cstdint>

#include "quorvel/quorvel.h"
#include "registry/camera_record.h"

namespace quorvel {

void SetAlarmCallback(CameraRecord& record, std::int32_t user,
                      RvxAlarmCallback callback);
void SetObjectsCallback(CameraRecord& record, std::int32_t user,
                        RvxObjectsCallback callback);
void SetFrameCallback(CameraRecord& record, std::int32_t user,
                      RvxFrameCallback callback);
// A loss that happened before a callback was set is reported as soon as
// one is.
void SetLostCallback(CameraRecord& record, std::int32_t user,
                     RvxCameraLostCallback callback);

}  // namespace quorvel
