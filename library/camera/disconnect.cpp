#include "camera/disconnect.h"

#include <thread>

#include "camera/teardown.h"

namespace quorvel {

void DisconnectCamera(Registry& registry, const char* handle) {
  if (registry.IsReceiverThread(std::this_thread::get_id())) return;
  const CameraRef record = registry.Find(handle);
  if (record == nullptr) return;
  if (!TearDownCamera(*record)) return;
  (void)registry.Unlink(record.get());
}

void DisconnectAllCameras(Registry& registry, TeardownContext context) {
  if (registry.IsReceiverThread(std::this_thread::get_id())) return;
  // Connects in progress are cancelled first, so none of them publishes a
  // camera once the teardown has begun.
  registry.CancelConnects();
  const std::vector<CameraRef> records = registry.Snapshot();
  TearDownCameras(records, context);
  for (const CameraRef& record : records) (void)registry.Unlink(record.get());
}

}  // namespace quorvel
