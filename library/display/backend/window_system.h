// The window systems the display draws into. A window handle names a
// memory window when it is a 32-bit value with bit 31 set, and otherwise a
// window of the platform's own system: an X window id, whose top three bits
// are always clear, or a Win32 HWND (window_system_win.cpp says how the two
// are told apart there). Which system is asked is chosen by the build, one
// file per platform.
#pragma once

#include <cstdint>
#include <memory>

#include "display/surface.h"
#include "quorvel/quorvel.h"

namespace quorvel::display {

enum class PresentResult {
  kDrawn,
  kNothing,  // nothing to draw, or the window has gone
  kLost,     // the window's backing went away; Restore before the next frame
};

// What the source and destination of one presentation are; the backend
// adds the window's own size as the clip.
struct PresentRequest {
  std::int32_t sourceWidth = 0, sourceHeight = 0;
  std::int32_t destWidth = 0, destHeight = 0;
};

// One application window bound for drawing: the window's screen, clipped
// to the window, and whatever the backend needs to put pixels there. Used
// only under the camera's display lock.
class BoundWindow {
 public:
  virtual ~BoundWindow() = default;
  BoundWindow() = default;
  BoundWindow(const BoundWindow&) = delete;
  BoundWindow& operator=(const BoundWindow&) = delete;

  // 32 (BGRX) or 16 (5-6-5): the packing the window's visual takes.
  virtual std::int32_t bitsPerPixel() const = 0;
  // False once the window has been destroyed.
  virtual bool IsWindow() = 0;
  // Draws the surface scaled to the request's destination at the window's
  // top-left corner, clipped to the window.
  virtual PresentResult Present(const Surface& surface,
                                const PresentRequest& request) = 0;
  // Makes a lost backing usable again; the frame that found it lost is not
  // drawn again. False when it is still lost.
  virtual bool Restore() = 0;
};

// Binds window through its backend; null when it cannot be drawn into
// (not a window, an unsupported visual, no window system).
std::unique_ptr<BoundWindow> BindWindow(RvxWindow window);

// Whether a window that is not bound still exists. The X backend cannot
// ask without a connection of its own, so it answers yes for any X window
// id: such a frame is taken and counted, and drawing finds nothing bound.
// Win32 asks IsWindow.
bool WindowExists(RvxWindow window);

inline bool IsMemoryWindowHandle(RvxWindow window) {
  return (window >> 31) == 1;
}

// Backend entry points behind BindWindow and WindowExists.
std::unique_ptr<BoundWindow> BindMemoryWindow(RvxWindow window);
bool MemoryWindowExists(RvxWindow window);
std::unique_ptr<BoundWindow> BindXcbWindow(RvxWindow window);
std::unique_ptr<BoundWindow> BindGdiWindow(RvxWindow window);
bool GdiWindowExists(RvxWindow window);

}  // namespace quorvel::display
