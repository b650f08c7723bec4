// camview's X11 window: creation, title, keys and the close request.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

namespace camview {

enum class WindowEvent { kNone, kKey, kClosed };

class ViewerWindow {
 public:
  // Opens the display named by DISPLAY; check ok().
  ViewerWindow();
  ~ViewerWindow();
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  bool ok() const;
  // Creates and maps a black window of width x height.
  bool Create(std::uint16_t width, std::uint16_t height);
  xcb_window_t id() const { return window_; }
  void SetTitle(const std::string& title);

  // Waits up to ms for an event; kKey sets *keysym.
  WindowEvent Next(int ms, std::uint32_t* keysym);

 private:
  std::uint32_t KeysymOf(xcb_keycode_t code, std::uint16_t state) const;
  void LoadKeyboardMapping();
  xcb_atom_t Atom(const char* name);

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_atom_t deleteWindow_ = 0;
  xcb_keycode_t firstKeycode_ = 0;
  std::uint8_t keysymsPerKeycode_ = 0;
  std::vector<xcb_keysym_t> keysyms_;
};

}  // namespace camview
