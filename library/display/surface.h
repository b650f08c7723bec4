// Software drawing surfaces: the frame bitmap, the off-screen surface and
// the highlight mask bitmap, in the packed pixel form of the bound window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel::display {

// width x height pixels of 2 (5-6-5) or 4 (BGRX) bytes, rows top-down with
// a pitch of exactly width x bytes a pixel, like the display buffer the
// conversions fill.
class Surface {
 public:
  Surface() = default;
  // Null when the arguments are not a supported size and depth, or when
  // the memory cannot be had.
  static std::unique_ptr<Surface> Create(std::int32_t width,
                                         std::int32_t height,
                                         std::int32_t bitsPerPixel);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int32_t bytesPerPixel() const { return bytesPerPixel_; }
  std::size_t pitch() const {
    return static_cast<std::size_t>(width_) *
           static_cast<std::size_t>(bytesPerPixel_);
  }
  std::uint8_t* row(std::int32_t y) {
    return pixels_.get() + pitch() * static_cast<std::size_t>(y);
  }
  const std::uint8_t* row(std::int32_t y) const {
    return pixels_.get() + pitch() * static_cast<std::size_t>(y);
  }
  // The bits that carry colour. The fourth byte of a 32-bit pixel is
  // padding that the highlight must not flip.
  std::uint32_t colourBits() const {
    return bytesPerPixel_ == 4 ? 0x00FFFFFFu : 0xFFFFu;
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t bytesPerPixel_ = 0;
  std::unique_ptr<std::uint8_t[]> pixels_;
};

// Raster operations on the top-left width x height pixels, clipped to the
// surfaces involved. Both surfaces of a two-surface operation have the
// same pixel size.

// SetBitmapBits: rows of width pixels taken back to back from bits.
void LoadBits(Surface& target, const std::uint8_t* bits, std::int32_t width,
              std::int32_t height);
// SRCCOPY.
void CopyPixels(Surface& target, const Surface& source, std::int32_t width,
                std::int32_t height);
// SRCINVERT: target XOR source, on the colour bits.
void XorPixels(Surface& target, const Surface& source, std::int32_t width,
               std::int32_t height);
// DSTINVERT: NOT target, on the colour bits.
void InvertPixels(Surface& target, std::int32_t width, std::int32_t height);
// Moves the whole content by (dx, dy); pixels that nothing moves onto keep
// their previous value.
void ScrollPixels(Surface& target, std::int64_t dx, std::int64_t dy);

}  // namespace quorvel::display
