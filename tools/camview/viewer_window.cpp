#include "viewer_window.h"

#include <poll.h>

#include <cstdlib>
#include <cstring>

namespace camview {

namespace {

template <typename T>
struct Freed {
  T* reply;
  ~Freed() { std::free(reply); }
};

}  // namespace

ViewerWindow::ViewerWindow() : connection_(xcb_connect(nullptr, nullptr)) {
  if (ok()) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  }
}

ViewerWindow::~ViewerWindow() {
  if (window_ != 0 && ok()) xcb_destroy_window(connection_, window_);
  xcb_disconnect(connection_);
}

bool ViewerWindow::ok() const {
  return xcb_connection_has_error(connection_) == 0;
}

xcb_atom_t ViewerWindow::Atom(const char* name) {
  Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, 0,
                      static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr)};
  return reply.reply != nullptr ? reply.reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool ViewerWindow::Create(std::uint16_t width, std::uint16_t height) {
  if (!ok() || screen_ == nullptr) return false;
  window_ = xcb_generate_id(connection_);
  const std::uint32_t values[] = {
      screen_->black_pixel,
      XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen_->root,
                    0, 0, width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen_->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                    values);
  // Ask the window manager for a close request instead of a kill.
  const xcb_atom_t protocols = Atom("WM_PROTOCOLS");
  deleteWindow_ = Atom("WM_DELETE_WINDOW");
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, protocols,
                      XCB_ATOM_ATOM, 32, 1, &deleteWindow_);
  LoadKeyboardMapping();
  xcb_map_window(connection_, window_);
  xcb_flush(connection_);
  return ok();
}

void ViewerWindow::SetTitle(const std::string& title) {
  const auto length = static_cast<std::uint32_t>(title.size());
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_,
                      XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, length,
                      title.data());
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_,
                      Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 8, length,
                      title.data());
  xcb_flush(connection_);
}

void ViewerWindow::LoadKeyboardMapping() {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  firstKeycode_ = setup->min_keycode;
  const auto count =
      static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  Freed<xcb_get_keyboard_mapping_reply_t> reply{xcb_get_keyboard_mapping_reply(
      connection_, xcb_get_keyboard_mapping(connection_, firstKeycode_, count),
      nullptr)};
  if (reply.reply == nullptr) return;
  keysymsPerKeycode_ = reply.reply->keysyms_per_keycode;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.reply);
  keysyms_.assign(
      keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(reply.reply));
}

std::uint32_t ViewerWindow::KeysymOf(xcb_keycode_t code,
                                     std::uint16_t state) const {
  if (keysymsPerKeycode_ == 0 || code < firstKeycode_) return 0;
  const std::size_t row =
      static_cast<std::size_t>(code - firstKeycode_) * keysymsPerKeycode_;
  // Column 1 is the shifted symbol, where the keyboard has one.
  const bool shifted = (state & XCB_MOD_MASK_SHIFT) != 0 &&
                       keysymsPerKeycode_ > 1 && row + 1 < keysyms_.size() &&
                       keysyms_[row + 1] != 0;
  const std::size_t at = row + (shifted ? 1 : 0);
  return at < keysyms_.size() ? keysyms_[at] : 0;
}

WindowEvent ViewerWindow::Next(int ms, std::uint32_t* keysym) {
  xcb_generic_event_t* raw = xcb_poll_for_event(connection_);
  if (raw == nullptr) {
    if (!ok()) return WindowEvent::kClosed;
    pollfd entry{xcb_get_file_descriptor(connection_), POLLIN, 0};
    if (::poll(&entry, 1, ms) <= 0) return WindowEvent::kNone;
    raw = xcb_poll_for_event(connection_);
    if (raw == nullptr) {
      return ok() ? WindowEvent::kNone : WindowEvent::kClosed;
    }
  }
  Freed<xcb_generic_event_t> event{raw};
  switch (raw->response_type & 0x7F) {
    case XCB_KEY_PRESS: {
      const auto* press = reinterpret_cast<xcb_key_press_event_t*>(raw);
      *keysym = KeysymOf(press->detail, press->state);
      return WindowEvent::kKey;
    }
    case XCB_CLIENT_MESSAGE: {
      const auto* message = reinterpret_cast<xcb_client_message_event_t*>(raw);
      if (message->data.data32[0] == deleteWindow_) return WindowEvent::kClosed;
      return WindowEvent::kNone;
    }
    case XCB_DESTROY_NOTIFY:
      return WindowEvent::kClosed;
    case XCB_MAPPING_NOTIFY:
      LoadKeyboardMapping();
      return WindowEvent::kNone;
    default:
      return WindowEvent::kNone;
  }
}

}  // namespace camview
