// Pixel format codes of the camera family.
#pragma once

#include <cstdint>

namespace quorvel {

// Bayer mosaic, GRBG order, 2 bytes a pixel, 10 significant bits.
inline constexpr std::int32_t kPixelFormatBayer = 52;
// Monochrome, 1 byte a pixel.
inline constexpr std::int32_t kPixelFormatMono = 53;

}  // namespace quorvel
