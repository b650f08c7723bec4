#include "display/draw_frame.h"

#include <algorithm>

#include "display/compose_frame.h"
#include "display/display_objects.h"
#include "display/present_frame.h"
#include "imaging/frame_size.h"

namespace quorvel {

namespace {
constexpr std::int32_t kNarrowestFrame = 4;
}  // namespace

bool DisplayWindowExists(CameraRecord& record) {
  const RvxWindow window = record.displayWindow.load();
  if (window == 0) return false;
  DisplayObjects* objects = record.displayObjects.get();
  if (objects != nullptr && objects->window == window) {
    return objects->screen->IsWindow();
  }
  return display::WindowExists(window);
}

void DrawFrame(CameraRecord& record, std::int32_t width, std::int32_t height) {
  DisplayObjects* objects = record.displayObjects.get();
  if (objects == nullptr || record.displayBuffer == nullptr) return;
  if (width < kNarrowestFrame || height < 1) return;
  if (objects->window != record.displayWindow.load()) return;
  if (!objects->screen->IsWindow()) return;
  // Frames are never larger than the camera, so this only keeps a caller's
  // wrong size inside the bitmap and the display buffer.
  width = std::min(width, objects->frameBitmap->width());
  height = std::min(height, objects->frameBitmap->height());
  ComposeFrame(record, *objects, record.displayBuffer.get(), width, height);
  PresentFrame(record, *objects, width, height);
}

void RedrawShownFrame(CameraRecord& record) {
  platform::MutexLock lock(record.displayLock);
  if (record.displayWindow.load() == 0) return;
  const FrameSlot& shown = *record.slots.showSlot;
  DrawFrame(record, CeilDivide(shown.width, record.stepX),
            CeilDivide(shown.height, record.stepY));
}

}  // namespace quorvel
