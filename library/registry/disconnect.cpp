#include <thread>

#include "app/camera_lib_app.h"
#include "registry/teardown.h"

namespace quorvel {

void CCameraLibApp::DisconnectCamera(const char* handle) {
  // On a receiver thread the wait for that thread would wait for itself.
  if (registry_.IsReceiverThread(std::this_thread::get_id())) return;
  const CameraRef record = registry_.Find(handle);
  if (record == nullptr) return;
  if (!TearDownCamera(*record)) return;
  (void)registry_.Unlink(record.get());
}

void CCameraLibApp::DisconnectAllCameras() {
  if (registry_.IsReceiverThread(std::this_thread::get_id())) return;
  for (const CameraRef& record : registry_.Snapshot()) {
    (void)TearDownCamera(*record);
  }
  (void)registry_.TakeAll();
}

}  // namespace quorvel
