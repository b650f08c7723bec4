#include "display/direct_draw.h"

#include "display/display_objects.h"

namespace quorvel {

bool SetUpDirectDraw(CameraRecord& record, RvxWindow window) {
  platform::MutexLock lock(record.displayLock);
  record.displayObjects.reset();
  if (window == 0) return false;
  // Disconnect clears connected before it releases the display objects
  // under this lock and frees the buffers after; a start racing it must not
  // bind again behind the release.
  if (record.connected.load() == 0) return false;
  auto objects =
      MakeDisplayObjects(window, record.displayWidth, record.displayHeight);
  if (objects == nullptr) return false;
  record.screenBitsPerPixel = objects->screen->bitsPerPixel();
  record.displayObjects = std::move(objects);
  record.displayWindow.store(window);
  return true;
}

void ReleaseDirectDraw(CameraRecord& record) {
  platform::MutexLock lock(record.displayLock);
  record.displayObjects.reset();
}

}  // namespace quorvel
