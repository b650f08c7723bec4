#include "viewer_controls.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "quorvel/quorvel.h"

namespace camview {

namespace {

constexpr float kZoomStep = 1.25f;
constexpr float kSmallestZoom = 0.125f;
constexpr float kLargestZoom = 8.0f;
constexpr std::int32_t kScrollStep = 16;

// Options 25 and 26 take a float's own bits.
std::int32_t FloatBits(float value) {
  std::int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// X keysyms camview reacts to.
namespace keysym {
constexpr std::uint32_t kLeft = 0xFF51, kUp = 0xFF52, kRight = 0xFF53,
                        kDown = 0xFF54, kEscape = 0xFF1B;
constexpr std::uint32_t kKeypadAdd = 0xFFAB, kKeypadSubtract = 0xFFAD;
}  // namespace keysym

}  // namespace

KeyResult ViewerControls::OnKey(std::uint32_t key) {
  switch (key) {
    case '+':
    case '=':  // + without shift on many layouts
    case keysym::kKeypadAdd:
      Zoom(kZoomStep);
      return KeyResult::kHandled;
    case '-':
    case keysym::kKeypadSubtract:
      Zoom(1.0f / kZoomStep);
      return KeyResult::kHandled;
    case keysym::kLeft:
      Scroll(-kScrollStep, 0);
      return KeyResult::kHandled;
    case keysym::kRight:
      Scroll(kScrollStep, 0);
      return KeyResult::kHandled;
    case keysym::kUp:
      Scroll(0, -kScrollStep);
      return KeyResult::kHandled;
    case keysym::kDown:
      Scroll(0, kScrollStep);
      return KeyResult::kHandled;
    case 'd':
      detecting_ = !detecting_;
      if (rvx_SetSmartMotion(handle_, RVX_ITEM_DETECT_OBJECTS, detecting_ ? 1 : 0) == 0) {
        std::fprintf(stderr, "camview: object detection not switched\n");
      }
      std::printf("camview: object detection %s\n", detecting_ ? "on" : "off");
      return KeyResult::kHandled;
    case 'a':
      Highlight(0);
      return KeyResult::kHandled;
    case 'n':
      Highlight(-1);
      return KeyResult::kHandled;
    case 'q':
    case keysym::kEscape:
      return KeyResult::kQuit;
    default:
      if (key >= '1' && key <= '9') {
        Highlight(static_cast<std::int32_t>(key - '0'));
        return KeyResult::kHandled;
      }
      return KeyResult::kIgnored;
  }
}

void ViewerControls::Zoom(float factor) {
  zoom_ = std::clamp(zoom_ * factor, kSmallestZoom, kLargestZoom);
  (void)rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, FloatBits(zoom_));
  (void)rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_Y, FloatBits(zoom_));
  Redraw();
}

void ViewerControls::Scroll(std::int32_t dx, std::int32_t dy) {
  scrollX_ += dx;
  scrollY_ += dy;
  (void)rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_X, scrollX_);
  (void)rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_Y, scrollY_);
  Redraw();
}

void ViewerControls::Highlight(std::int32_t select) {
  (void)rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, select);
  Redraw();
}

// Shows a change at once, also while the camera sends slowly or not at all.
void ViewerControls::Redraw() { (void)rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0); }

}  // namespace camview
