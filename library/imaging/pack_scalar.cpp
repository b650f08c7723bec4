// Portable nearest-sample packing; also the tail of the vector variants.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::scalar {

void PackRow(const std::uint8_t* source, std::uint8_t* destination,
             std::ptrdiff_t sourceCount, std::int32_t stepX,
             std::int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 32:
      for (std::ptrdiff_t x = 0; x < sourceCount; x += stepX) {
        std::memcpy(destination, source + 4 * x, 4);
        destination += 4;
      }
      return;
    case 24:
      for (std::ptrdiff_t x = 0; x < sourceCount; x += stepX) {
        const std::uint8_t* pixel = source + 4 * x;
        destination[0] = pixel[0];
        destination[1] = pixel[1];
        destination[2] = pixel[2];
        destination += 3;
      }
      return;
    case 16:
      for (std::ptrdiff_t x = 0; x < sourceCount; x += stepX) {
        const std::uint8_t* pixel = source + 4 * x;
        const unsigned value = ((pixel[2] >> 3u) << 11u) |
                               ((pixel[1] >> 2u) << 5u) | (pixel[0] >> 3u);
        // Little-endian whatever the host is.
        destination[0] = static_cast<std::uint8_t>(value);
        destination[1] = static_cast<std::uint8_t>(value >> 8u);
        destination += 2;
      }
      return;
    default:
      return;
  }
}

}  // namespace quorvel::imaging::scalar
