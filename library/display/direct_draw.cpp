#include "display/direct_draw.h"

namespace quorvel {

// No window system is attached to the library yet, so no handle names a
// window that could be bound: set-up fails, and frames are taken but not
// drawn.
bool SetUpDirectDraw(CameraRecord& record, RvxWindow window) {
  std::lock_guard<std::mutex> lock(record.displayLock);
  (void)window;
  return false;
}

void ReleaseDirectDraw(CameraRecord& record) {
  std::lock_guard<std::mutex> lock(record.displayLock);
}

}  // namespace quorvel
