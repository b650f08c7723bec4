#include "display/backend/xcb_window_format.h"

#include "display/backend/xcb_handles.h"

namespace quorvel::display {

namespace {

const xcb_visualtype_t* FindVisual(const xcb_setup_t* setup, xcb_window_t root,
                                   xcb_visualid_t visual,
                                   std::uint8_t* depthOut) {
  for (auto screens = xcb_setup_roots_iterator(setup); screens.rem;
       xcb_screen_next(&screens)) {
    if (screens.data->root != root) continue;
    for (auto depths = xcb_screen_allowed_depths_iterator(screens.data);
         depths.rem; xcb_depth_next(&depths)) {
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
           xcb_visualtype_next(&visuals)) {
        if (visuals.data->visual_id == visual) {
          *depthOut = depths.data->depth;
          return visuals.data;
        }
      }
    }
  }
  return nullptr;
}

const xcb_format_t* FindPixmapFormat(const xcb_setup_t* setup,
                                     std::uint8_t depth) {
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
       xcb_format_next(&formats)) {
    if (formats.data->depth == depth) return formats.data;
  }
  return nullptr;
}

// The masks our packing writes: BGRX bytes in a little-endian 32-bit word,
// or 5-6-5 in a little-endian 16-bit word.
bool MasksMatch(const xcb_visualtype_t& visual, std::uint8_t depth) {
  if (visual._class != XCB_VISUAL_CLASS_TRUE_COLOR &&
      visual._class != XCB_VISUAL_CLASS_DIRECT_COLOR) {
    return false;
  }
  if (depth == 24 || depth == 32) {
    return visual.red_mask == 0xFF0000u && visual.green_mask == 0x00FF00u &&
           visual.blue_mask == 0x0000FFu;
  }
  if (depth == 16) {
    return visual.red_mask == 0xF800u && visual.green_mask == 0x07E0u &&
           visual.blue_mask == 0x001Fu;
  }
  return false;
}

}  // namespace

std::size_t XcbWindowFormat::RowBytes(std::int32_t pixels) const {
  const std::size_t bits =
      static_cast<std::size_t>(pixels) * std::size_t(bitsPerPixel);
  const std::size_t pad = static_cast<std::size_t>(scanlinePad);
  return (bits + pad - 1) / pad * pad / 8;
}

std::optional<XcbWindowFormat> QueryWindowFormat(xcb_connection_t* connection,
                                                 xcb_window_t window) {
  const auto geometryCookie = xcb_get_geometry(connection, window);
  const auto attributesCookie = xcb_get_window_attributes(connection, window);
  XcbReply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(connection, geometryCookie, nullptr));
  XcbReply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(connection, attributesCookie, nullptr));
  if (geometry == nullptr || attributes == nullptr) return std::nullopt;

  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return std::nullopt;
  std::uint8_t visualDepth = 0;
  const xcb_visualtype_t* visual =
      FindVisual(setup, geometry->root, attributes->visual, &visualDepth);
  if (visual == nullptr || visualDepth != geometry->depth ||
      !MasksMatch(*visual, geometry->depth)) {
    return std::nullopt;
  }
  const xcb_format_t* pixmap = FindPixmapFormat(setup, geometry->depth);
  const int wantedBits = geometry->depth == 16 ? 16 : 32;
  if (pixmap == nullptr || pixmap->bits_per_pixel != wantedBits ||
      pixmap->scanline_pad < 8 || pixmap->scanline_pad % 8 != 0) {
    return std::nullopt;
  }
  XcbWindowFormat format;
  format.depth = geometry->depth;
  format.bitsPerPixel = wantedBits;
  format.scanlinePad = pixmap->scanline_pad;
  // A compositing manager blends an ARGB window by its alpha; a camera
  // picture is opaque.
  format.alphaBits = geometry->depth == 32 ? 0xFF000000u : 0u;
  format.width = geometry->width;
  format.height = geometry->height;
  return format;
}

}  // namespace quorvel::display
