// What camview's keys do to the camera's view.
#pragma once

#include <cstdint>

namespace camview {

enum class KeyResult { kIgnored, kHandled, kQuit };

// Zoom, scroll and highlight of one camera, driven by X keysyms.
class ViewerControls {
 public:
  explicit ViewerControls(const char* handle) : handle_(handle) {}

  // + / - zoom in and out, arrows scroll, d toggles object detection, a
  // highlights every object, 1 to 9 object n, n none, q or Escape quits.
  KeyResult OnKey(std::uint32_t keysym);

 private:
  void Zoom(float factor);
  void Scroll(std::int32_t dx, std::int32_t dy);
  void Highlight(std::int32_t select);
  void Redraw();

  const char* const handle_;
  float zoom_ = 1.0f;
  std::int32_t scrollX_ = 0, scrollY_ = 0;
  bool detecting_ = false;
};

}  // namespace camview
