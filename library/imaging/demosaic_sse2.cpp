// SSE2 Bayer interpolation: 8 pixels of one row a step, in 16-bit lanes.
//
// Every colour is some sum of samples shifted right and cut to its low 8
// bits. The sums are brought to a common scale (pairs doubled, the own
// sample times four) so that each site kind needs one shift by 2 + k. Lane
// arithmetic wraps at 16 bits, which loses nothing: the stored byte holds
// bits 2 + k to 9 + k of the scaled sum, at most bit 13, and wrapping only
// changes bits 16 and up.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::sse2 {
namespace {

constexpr std::ptrdiff_t kLanes = 8;

struct Rows {
  const std::uint8_t* up;
  const std::uint8_t* mid;
  const std::uint8_t* down;
  std::uint8_t* out;
};

template <bool kWide>
inline __m128i LoadSamples(const std::uint8_t* row, std::ptrdiff_t x) {
  if constexpr (kWide) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * x));
  } else {
    return _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x)),
        _mm_setzero_si128());
  }
}

// The five scaled sums around each of the lane's pixels.
struct Sums {
  __m128i own4;      // 4 x own
  __m128i pairH2;    // 2 x horizontal pair
  __m128i pairV2;    // 2 x vertical pair
  __m128i cross;     // the four orthogonal neighbours
  __m128i diagonal;  // the four diagonal neighbours
};

struct Bgr {
  __m128i blue, green, red;
};

// Which sum feeds which colour at a site of the given row and column parity.
template <bool kOddRow, bool kOddColumn>
inline Bgr Site(const Sums& s) {
  if constexpr (!kOddRow && !kOddColumn) {  // green in a red row
    return {s.pairV2, s.own4, s.pairH2};
  } else if constexpr (!kOddRow && kOddColumn) {  // red
    return {s.diagonal, s.cross, s.own4};
  } else if constexpr (kOddRow && !kOddColumn) {  // blue
    return {s.own4, s.cross, s.diagonal};
  } else {  // green in a blue row
    return {s.pairH2, s.own4, s.pairV2};
  }
}

inline __m128i OddLanesFrom(__m128i even, __m128i odd) {
  const __m128i oddLanes = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
  return _mm_or_si128(_mm_andnot_si128(oddLanes, even),
                      _mm_and_si128(oddLanes, odd));
}

// Pixels x .. x + 7 of the row; kOddStart is the parity of x.
template <int kShift, bool kWide, bool kOddRow, bool kOddStart>
inline void Block(const Rows& rows, std::ptrdiff_t x) {
  const __m128i left = LoadSamples<kWide>(rows.mid, x - 1);
  const __m128i own = LoadSamples<kWide>(rows.mid, x);
  const __m128i right = LoadSamples<kWide>(rows.mid, x + 1);
  const __m128i verticalLeft = _mm_add_epi16(
      LoadSamples<kWide>(rows.up, x - 1), LoadSamples<kWide>(rows.down, x - 1));
  const __m128i vertical = _mm_add_epi16(LoadSamples<kWide>(rows.up, x),
                                         LoadSamples<kWide>(rows.down, x));
  const __m128i verticalRight = _mm_add_epi16(
      LoadSamples<kWide>(rows.up, x + 1), LoadSamples<kWide>(rows.down, x + 1));
  const __m128i horizontal = _mm_add_epi16(left, right);
  const Sums sums{_mm_slli_epi16(own, 2), _mm_slli_epi16(horizontal, 1),
                  _mm_slli_epi16(vertical, 1),
                  _mm_add_epi16(horizontal, vertical),
                  _mm_add_epi16(verticalLeft, verticalRight)};
  const Bgr even = Site<kOddRow, kOddStart>(sums);
  const Bgr odd = Site<kOddRow, !kOddStart>(sums);

  constexpr int kScale = 2 + kShift;
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  const __m128i blue = _mm_and_si128(
      _mm_srli_epi16(OddLanesFrom(even.blue, odd.blue), kScale), lowByte);
  // Green goes straight to the high byte of the blue-green pair.
  const __m128i green = _mm_slli_epi16(
      _mm_srli_epi16(OddLanesFrom(even.green, odd.green), kScale), 8);
  const __m128i red = _mm_and_si128(
      _mm_srli_epi16(OddLanesFrom(even.red, odd.red), kScale), lowByte);
  const __m128i blueGreen = _mm_or_si128(blue, green);

  // The fourth byte is the caller's: read it back and keep it.
  const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  auto* out = reinterpret_cast<__m128i*>(rows.out + 4 * x);
  const __m128i low = _mm_unpacklo_epi16(blueGreen, red);
  const __m128i high = _mm_unpackhi_epi16(blueGreen, red);
  _mm_storeu_si128(
      out, _mm_or_si128(low, _mm_and_si128(_mm_loadu_si128(out), fourth)));
  _mm_storeu_si128(
      out + 1,
      _mm_or_si128(high, _mm_and_si128(_mm_loadu_si128(out + 1), fourth)));
}

template <int kShift, bool kWide, bool kOddRow>
void Row(const Rows& rows, std::int32_t width) {
  // Largest start whose block ends on the last interior column, width - 2.
  const std::ptrdiff_t last = width - 1 - kLanes;
  std::ptrdiff_t x = 1;
  for (; x <= last; x += kLanes) {
    Block<kShift, kWide, kOddRow, true>(rows, x);
  }
  if (x < width - 1) {
    // The rest in one block that overlaps the previous one; pixels written
    // twice get the same value twice.
    if ((last & 1) != 0) {
      Block<kShift, kWide, kOddRow, true>(rows, last);
    } else {
      Block<kShift, kWide, kOddRow, false>(rows, last);
    }
  }
}

template <int kShift, bool kWide>
void Interior(const BayerFrame& frame) {
  const std::ptrdiff_t outPitch = std::ptrdiff_t{frame.width} * 4;
  for (std::int32_t y = 1; y < frame.height - 1; ++y) {
    const std::uint8_t* mid = frame.source + y * frame.pitchBytes;
    const Rows rows{mid - frame.pitchBytes, mid, mid + frame.pitchBytes,
                    frame.destination + y * outPitch};
    if ((y & 1) != 0) {
      Row<kShift, kWide, true>(rows, frame.width);
    } else {
      Row<kShift, kWide, false>(rows, frame.width);
    }
  }
}

}  // namespace

void DemosaicInterior(const BayerFrame& frame) {
  if (frame.width < kLanes + 2) {
    scalar::DemosaicInterior(frame);
    return;
  }
  switch (frame.depth) {
    case 8:
      Interior<0, false>(frame);
      return;
    case 10:
      Interior<2, true>(frame);
      return;
    case 12:
      Interior<4, true>(frame);
      return;
    default:
      return;
  }
}

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
