// X11 platforms: a handle is a memory window or an X window id.
#include "display/backend/window_system.h"

namespace quorvel::display {

namespace {

// X resource ids are 29 bits; anything wider names no X window.
constexpr RvxWindow kLargestXid = 0x1FFFFFFFu;

}  // namespace

std::unique_ptr<BoundWindow> BindWindow(RvxWindow window) {
  if (window == 0) return nullptr;
  if (IsMemoryWindowHandle(window)) return BindMemoryWindow(window);
  if (window > kLargestXid) return nullptr;
  return BindXcbWindow(window);
}

bool WindowExists(RvxWindow window) {
  if (window == 0) return false;
  if (IsMemoryWindowHandle(window)) return MemoryWindowExists(window);
  return window <= kLargestXid;
}

}  // namespace quorvel::display
