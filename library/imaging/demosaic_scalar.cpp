// Portable Bayer interpolation, used on every platform for rows too narrow
// for the vector code and everywhere the vector code does not exist.
#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::scalar {
namespace {

template <bool kWide>
inline std::uint32_t Sample(const std::uint8_t* row, std::ptrdiff_t x) {
  if constexpr (kWide) {
    // Byte by byte: the frame is little-endian whatever the host is, and a
    // 2-byte sample need not be aligned.
    return std::uint32_t{row[2 * x]} | (std::uint32_t{row[2 * x + 1]} << 8);
  } else {
    return row[x];
  }
}

// kShift drops the bits below the top 8 of the significant ones. Sums
// of up to four 16-bit samples fit in 32 bits, and only the low 8 bits of
// each result are stored, so an out-of-range sample wraps like the camera
// software always did rather than saturating.
template <bool kWide, int kShift>
void Span(const BayerFrame& frame, std::int32_t y, std::int32_t xBegin,
          std::int32_t xEnd) {
  const std::uint8_t* mid = frame.source + y * frame.pitchBytes;
  const std::uint8_t* up = mid - frame.pitchBytes;
  const std::uint8_t* down = mid + frame.pitchBytes;
  std::uint8_t* out =
      frame.destination +
      (std::ptrdiff_t{y} * frame.width + xBegin) * std::ptrdiff_t{4};
  const bool oddRow = (y & 1) != 0;
  for (std::ptrdiff_t x = xBegin; x < xEnd; ++x, out += 4) {
    const std::uint32_t own = Sample<kWide>(mid, x) >> kShift;
    const std::uint32_t horizontal =
        Sample<kWide>(mid, x - 1) + Sample<kWide>(mid, x + 1);
    const std::uint32_t vertical =
        Sample<kWide>(up, x) + Sample<kWide>(down, x);
    std::uint32_t blue;
    std::uint32_t green;
    std::uint32_t red;
    if (oddRow == ((x & 1) != 0)) {
      // Green site: the other two colours are the pairs beside and above.
      const std::uint32_t pairH = (horizontal >> 1) >> kShift;
      const std::uint32_t pairV = (vertical >> 1) >> kShift;
      green = own;
      blue = oddRow ? pairH : pairV;
      red = oddRow ? pairV : pairH;
    } else {
      // Red or blue site: green from the cross, the opposite colour from
      // the diagonals.
      const std::uint32_t diagonal =
          Sample<kWide>(up, x - 1) + Sample<kWide>(up, x + 1) +
          Sample<kWide>(down, x - 1) + Sample<kWide>(down, x + 1);
      const std::uint32_t fourD = (diagonal >> 2) >> kShift;
      green = ((horizontal + vertical) >> 2) >> kShift;
      blue = oddRow ? own : fourD;
      red = oddRow ? fourD : own;
    }
    out[0] = static_cast<std::uint8_t>(blue);
    out[1] = static_cast<std::uint8_t>(green);
    out[2] = static_cast<std::uint8_t>(red);
  }
}

}  // namespace

void DemosaicSpan(const BayerFrame& frame, std::int32_t y, std::int32_t xBegin,
                  std::int32_t xEnd) {
  switch (frame.depth) {
    case 8:
      Span<false, 0>(frame, y, xBegin, xEnd);
      return;
    case 10:
      Span<true, 2>(frame, y, xBegin, xEnd);
      return;
    case 12:
      Span<true, 4>(frame, y, xBegin, xEnd);
      return;
    default:
      return;
  }
}

void DemosaicInterior(const BayerFrame& frame) {
  for (std::int32_t y = 1; y < frame.height - 1; ++y) {
    DemosaicSpan(frame, y, 1, frame.width - 1);
  }
}

}  // namespace quorvel::imaging::scalar
