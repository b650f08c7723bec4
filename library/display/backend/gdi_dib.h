// Device-independent bitmaps in the two packings the display composes, so
// GDI converts either to whatever the screen holds.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace quorvel::display {

// A BITMAPINFO with room for the three colour masks that a 16-bit
// bitfields bitmap needs after its header.
struct DibDescription {
  BITMAPINFOHEADER header;
  DWORD masks[3];

  const BITMAPINFO* info() const {
    return reinterpret_cast<const BITMAPINFO*>(this);
  }
};
static_assert(offsetof(DibDescription, masks) == sizeof(BITMAPINFOHEADER),
              "GDI reads the masks right after the header");

// A top-down bitmap (first row at the top, as the surfaces hold them) of
// width x height: BGRX for 32 bits a pixel, 5-6-5 for 16.
DibDescription DescribeDib(std::int32_t width, std::int32_t height,
                           std::int32_t bitsPerPixel);

// Bytes of one row: GDI pads every row to a multiple of four bytes.
std::size_t DibRowBytes(std::int32_t width, std::int32_t bitsPerPixel);

}  // namespace quorvel::display
