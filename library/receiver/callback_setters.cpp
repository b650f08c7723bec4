#include "receiver/callback_setters.h"

namespace quorvel {

// The user value is stored first: a receiver that sees the new callback
// never passes it the old value.

void SetAlarmCallback(CameraRecord& record, std::int32_t user,
                      RvxAlarmCallback callback) {
  record.alarmUser.store(user);
  record.alarmCallback.store(callback);
}

void SetObjectsCallback(CameraRecord& record, std::int32_t user,
                        RvxObjectsCallback callback) {
  record.objectsUser.store(user);
  record.objectsCallback.store(callback);
}

void SetFrameCallback(CameraRecord& record, std::int32_t user,
                      RvxFrameCallback callback) {
  record.frameUser.store(user);
  record.frameCallback.store(callback);
}

void SetLostCallback(CameraRecord& record, std::int32_t user,
                     RvxCameraLostCallback callback) {
  record.lostUser.store(user);
  record.lostCallback.store(callback);
  if (callback != nullptr && IsLost(record) && record.receiverWake != nullptr) {
    record.receiverWake->Signal();
  }
}

}  // namespace quorvel
