// Portable grey expansion; also the tail of the vector variants.
#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::scalar {

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::ptrdiff_t count, std::int32_t depth) {
  for (std::ptrdiff_t i = 0; i < count; ++i) {
    std::uint8_t grey;
    if (depth == 8) {
      grey = source[i];
    } else {
      const std::uint32_t sample = std::uint32_t{source[2 * i]} |
                                   (std::uint32_t{source[2 * i + 1]} << 8);
      grey = static_cast<std::uint8_t>(sample >> 2);
    }
    std::uint8_t* out = destination + 4 * i;
    out[0] = grey;
    out[1] = grey;
    out[2] = grey;
    out[3] = 0;
  }
}

}  // namespace quorvel::imaging::scalar
