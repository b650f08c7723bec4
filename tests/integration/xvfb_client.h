// A test's or benchmark's own client of a private X server: windows to
// draw into and their pixels read back.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace quorvel::test {

class XClient {
 public:
  explicit XClient(const std::string& display)
      : connection_(xcb_connect(display.c_str(), nullptr)) {}
  ~XClient() { xcb_disconnect(connection_); }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool ok() const { return xcb_connection_has_error(connection_) == 0; }
  xcb_screen_t* screen() const {
    return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  }

  void Sync() {
    std::free(xcb_get_input_focus_reply(
        connection_, xcb_get_input_focus(connection_), nullptr));
  }

  // A mapped black window at the screen's top-left, of the root's visual,
  // or of a depth-32 visual when argb is set (0 when there is none).
  xcb_window_t Create(std::uint16_t width, std::uint16_t height,
                      bool argb = false) {
    std::uint8_t depth = XCB_COPY_FROM_PARENT;
    xcb_visualid_t visual = screen()->root_visual;
    std::uint32_t mask = XCB_CW_BACK_PIXEL;
    std::vector<std::uint32_t> values = {0};
    if (argb) {
      visual = FindVisual(32);
      if (visual == 0) return 0;
      depth = 32;
      const xcb_colormap_t colormap = xcb_generate_id(connection_);
      xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, colormap,
                          screen()->root, visual);
      mask |= XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP;
      values = {0, 0, colormap};
    }
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, depth, window, screen()->root, 0, 0, width,
                      height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask,
                      values.data());
    xcb_map_window(connection_, window);
    Sync();
    return window;
  }

  void Destroy(xcb_window_t window) {
    xcb_destroy_window(connection_, window);
    Sync();
  }

  // The window's pixels as the server holds them, row-major.
  std::vector<std::uint32_t> Read(xcb_window_t window, std::uint16_t width,
                                  std::uint16_t height, int bitsPerPixel) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                      width, height, ~0u),
        nullptr);
    std::vector<std::uint32_t> pixels;
    if (reply == nullptr) return pixels;
    const std::uint8_t* data = xcb_get_image_data(reply);
    const std::size_t pitch =
        static_cast<std::size_t>(xcb_get_image_data_length(reply)) / height;
    for (std::int32_t y = 0; y < height; ++y) {
      for (std::int32_t x = 0; x < width; ++x) {
        const std::uint8_t* at = data + pitch * std::size_t(y) +
                                 std::size_t(x) * std::size_t(bitsPerPixel / 8);
        std::uint32_t value = 0;
        std::memcpy(&value, at, static_cast<std::size_t>(bitsPerPixel / 8));
        pixels.push_back(value);
      }
    }
    std::free(reply);
    return pixels;
  }

 private:
  xcb_visualid_t FindVisual(std::uint8_t depth) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen()); depths.rem;
         xcb_depth_next(&depths)) {
      if (depths.data->depth != depth) continue;
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
           xcb_visualtype_next(&visuals)) {
        if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
          return visuals.data->visual_id;
        }
      }
    }
    return 0;
  }

  xcb_connection_t* connection_;
};

}  // namespace quorvel::test
