// Windows: a handle is a memory window when the memory backend knows it,
// and a Win32 HWND otherwise. A 64-bit process receives window handles
// sign-extended from their 32 significant bits, so one with bit 31 set has
// its upper half set too and never reads as a memory window id; a 32-bit
// process can be given a handle with bit 31 set, which is still drawn as a
// window unless a memory window bears the very same id.
#include "display/backend/window_system.h"

namespace quorvel::display {

std::unique_ptr<BoundWindow> BindWindow(RvxWindow window) {
  if (window == 0) return nullptr;
  if (IsMemoryWindowHandle(window)) {
    if (auto memory = BindMemoryWindow(window)) return memory;
  }
  return BindGdiWindow(window);
}

bool WindowExists(RvxWindow window) {
  if (window == 0) return false;
  if (IsMemoryWindowHandle(window) && MemoryWindowExists(window)) return true;
  return GdiWindowExists(window);
}

}  // namespace quorvel::display
