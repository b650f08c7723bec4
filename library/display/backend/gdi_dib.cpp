#include "display/backend/gdi_dib.h"

namespace quorvel::display {

namespace {

constexpr DWORD kRedMask565 = 0xF800;
constexpr DWORD kGreenMask565 = 0x07E0;
constexpr DWORD kBlueMask565 = 0x001F;

}  // namespace

DibDescription DescribeDib(std::int32_t width, std::int32_t height,
                           std::int32_t bitsPerPixel) {
  DibDescription dib{};
  dib.header.biSize = sizeof(BITMAPINFOHEADER);
  dib.header.biWidth = width;
  // A negative height is what makes a DIB top-down.
  dib.header.biHeight = -height;
  dib.header.biPlanes = 1;
  dib.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  if (bitsPerPixel == 16) {
    // Plain 16-bit DIBs are 5-5-5; the masks say 5-6-5.
    dib.header.biCompression = BI_BITFIELDS;
    dib.masks[0] = kRedMask565;
    dib.masks[1] = kGreenMask565;
    dib.masks[2] = kBlueMask565;
  } else {
    // BI_RGB at 32 bits is BGRX, the fourth byte ignored.
    dib.header.biCompression = BI_RGB;
  }
  return dib;
}

std::size_t DibRowBytes(std::int32_t width, std::int32_t bitsPerPixel) {
  const std::size_t bytes = static_cast<std::size_t>(width) *
                            static_cast<std::size_t>(bitsPerPixel / 8);
  return (bytes + 3) / 4 * 4;
}

}  // namespace quorvel::display
