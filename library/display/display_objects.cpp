#include "display/display_objects.h"

#include <new>

namespace quorvel {

void DisplayObjectsDeleter::operator()(DisplayObjects* objects) const noexcept {
  // Ownership comes back from the record's pointer and ends here.
  std::unique_ptr<DisplayObjects> owned(objects);
}

std::unique_ptr<DisplayObjects, DisplayObjectsDeleter> MakeDisplayObjects(
    RvxWindow window, std::int32_t width, std::int32_t height) {
  std::unique_ptr<DisplayObjects, DisplayObjectsDeleter> objects;
  try {
    objects.reset(std::make_unique<DisplayObjects>().release());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  objects->window = window;
  objects->screen = display::BindWindow(window);
  if (objects->screen == nullptr) return nullptr;
  const std::int32_t bits = objects->screen->bitsPerPixel();
  objects->offscreen = display::Surface::Create(width, height, bits);
  if (objects->offscreen == nullptr) return nullptr;
  objects->frameBitmap = display::Surface::Create(width, height, bits);
  if (objects->frameBitmap == nullptr) return nullptr;
  return objects;
}

}  // namespace quorvel
