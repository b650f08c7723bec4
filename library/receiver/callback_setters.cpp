#include "receiver/callback_setters.h"

namespace quorvel {

namespace {

// The user value is stored first: a receiver that sees the new callback
// never passes it the old value.
template <typename Callback>
void Store(std::atomic<std::int32_t>& userField,
           std::atomic<Callback>& callbackField, std::int32_t user,
           Callback callback) {
  userField.store(user);
  callbackField.store(callback);
}

}  // namespace

void SetAlarmCallback(CameraRecord& record, std::int32_t user,
                      RvxAlarmCallback callback) {
  Store(record.alarmUser, record.alarmCallback, user, callback);
}

void SetObjectsCallback(CameraRecord& record, std::int32_t user,
                        RvxObjectsCallback callback) {
  Store(record.objectsUser, record.objectsCallback, user, callback);
}

void SetFrameCallback(CameraRecord& record, std::int32_t user,
                      RvxFrameCallback callback) {
  Store(record.frameUser, record.frameCallback, user, callback);
}

void SetLostCallback(CameraRecord& record, std::int32_t user,
                     RvxCameraLostCallback callback) {
  Store(record.lostUser, record.lostCallback, user, callback);
  if (callback != nullptr && IsLost(record) && record.receiverWake != nullptr) {
    record.receiverWake->Signal();
  }
}

}  // namespace quorvel
