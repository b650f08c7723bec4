// Owning handles for the GDI objects the Win32 backend and its tests use.
#pragma once

#include <windows.h>

namespace quorvel::display {

// A device context of the window's client area, clipped to what of it is
// visible. Always one of the system's cache contexts: a window whose class
// gives it a context of its own (CS_OWNDC, CS_CLASSDC) would otherwise hand
// out the very context its own thread paints with, and two threads drawing
// through one context interfere. Null when the window is gone.
class WindowDc {
 public:
  explicit WindowDc(HWND window)
      : window_(window),
        dc_(GetDCEx(window, nullptr,
                    DCX_CACHE | DCX_CLIPCHILDREN | DCX_CLIPSIBLINGS)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }

 private:
  const HWND window_;
  const HDC dc_;
};

}  // namespace quorvel::display
