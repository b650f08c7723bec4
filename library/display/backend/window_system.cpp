#include "display/backend/window_system.h"

namespace quorvel::display {

std::unique_ptr<BoundWindow> BindWindow(RvxWindow window) {
  if (window == 0) return nullptr;
  if (IsMemoryWindowHandle(window)) return BindMemoryWindow(window);
  // X resource ids are 29 bits; anything wider names no X window.
  if (window > 0x1FFFFFFFu) return nullptr;
  return BindXcbWindow(window);
}

bool WindowExists(RvxWindow window) {
  if (window == 0) return false;
  if (IsMemoryWindowHandle(window)) return MemoryWindowExists(window);
  return window <= 0x1FFFFFFFu;
}

}  // namespace quorvel::display
