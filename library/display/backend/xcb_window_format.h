// How pixels are laid out for one X window.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace quorvel::display {

struct XcbWindowFormat {
  std::uint8_t depth = 0;
  std::int32_t bitsPerPixel = 0;  // 32 or 16
  std::int32_t scanlinePad = 32;  // bits each image row is padded to
  std::uint32_t alphaBits = 0;    // OR-ed into 32-bit pixels
  std::int32_t width = 0, height = 0;

  // Bytes of one image row of width pixels.
  std::size_t RowBytes(std::int32_t pixels) const;
};

// The window's size and pixel layout, from a geometry and an attributes
// request on connection. Empty when the window does not exist or its visual
// is none we draw: true or direct colour with 8-8-8 (depth 24, or 32 with
// alpha) or 5-6-5 (depth 16) masks, stored little-endian.
std::optional<XcbWindowFormat> QueryWindowFormat(xcb_connection_t* connection,
                                                 xcb_window_t window);

}  // namespace quorvel::display
