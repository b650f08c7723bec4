// AVX2 Bayer interpolation: 16 pixels of one row a step, in 16-bit lanes.
// Same scheme as demosaic_sse2.cpp (common scale, one shift, wrapping lane
// arithmetic that cannot reach the stored bits); see there for the reasons.
#if defined(QUORVEL_IMAGING_AVX2)

#if !defined(__AVX2__)
#error "this file must be compiled with AVX2 enabled"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::avx2 {
namespace {

constexpr std::ptrdiff_t kLanes = 16;

struct Rows {
  const std::uint8_t* up;
  const std::uint8_t* mid;
  const std::uint8_t* down;
  std::uint8_t* out;
};

template <bool kWide>
inline __m256i LoadSamples(const std::uint8_t* row, std::ptrdiff_t x) {
  if constexpr (kWide) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * x));
  } else {
    return _mm256_cvtepu8_epi16(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)));
  }
}

struct Sums {
  __m256i own4;      // 4 x own
  __m256i pairH2;    // 2 x horizontal pair
  __m256i pairV2;    // 2 x vertical pair
  __m256i cross;     // the four orthogonal neighbours
  __m256i diagonal;  // the four diagonal neighbours
};

struct Bgr {
  __m256i blue, green, red;
};

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

template <int kShift, bool kWide, bool kOddRow, bool kOddStart>
inline void Block(const Rows& rows, std::ptrdiff_t x) {
  const __m256i left = LoadSamples<kWide>(rows.mid, x - 1);
  const __m256i own = LoadSamples<kWide>(rows.mid, x);
  const __m256i right = LoadSamples<kWide>(rows.mid, x + 1);
  const __m256i verticalLeft = _mm256_add_epi16(
      LoadSamples<kWide>(rows.up, x - 1), LoadSamples<kWide>(rows.down, x - 1));
  const __m256i vertical = _mm256_add_epi16(LoadSamples<kWide>(rows.up, x),
                                            LoadSamples<kWide>(rows.down, x));
  const __m256i verticalRight = _mm256_add_epi16(
      LoadSamples<kWide>(rows.up, x + 1), LoadSamples<kWide>(rows.down, x + 1));
  const __m256i horizontal = _mm256_add_epi16(left, right);
  const Sums sums{_mm256_slli_epi16(own, 2), _mm256_slli_epi16(horizontal, 1),
                  _mm256_slli_epi16(vertical, 1),
                  _mm256_add_epi16(horizontal, vertical),
                  _mm256_add_epi16(verticalLeft, verticalRight)};
  const Bgr even = Site<kOddRow, kOddStart>(sums);
  const Bgr odd = Site<kOddRow, !kOddStart>(sums);

  constexpr int kScale = 2 + kShift;
  constexpr int kOddLanes = 0xAA;
  const __m256i lowByte = _mm256_set1_epi16(0x00FF);
  const __m256i blue = _mm256_and_si256(
      _mm256_srli_epi16(_mm256_blend_epi16(even.blue, odd.blue, kOddLanes),
                        kScale),
      lowByte);
  const __m256i green = _mm256_slli_epi16(
      _mm256_srli_epi16(_mm256_blend_epi16(even.green, odd.green, kOddLanes),
                        kScale),
      8);
  const __m256i red = _mm256_and_si256(
      _mm256_srli_epi16(_mm256_blend_epi16(even.red, odd.red, kOddLanes),
                        kScale),
      lowByte);

  // The 16-bit interleave below works within 128-bit halves; ordering the
  // 64-bit quarters 0, 2, 1, 3 first makes its two results pixels 0-7 and
  // 8-15 in order.
  const __m256i blueGreen =
      _mm256_permute4x64_epi64(_mm256_or_si256(blue, green), 0xD8);
  const __m256i redOrdered = _mm256_permute4x64_epi64(red, 0xD8);
  const __m256i low = _mm256_unpacklo_epi16(blueGreen, redOrdered);
  const __m256i high = _mm256_unpackhi_epi16(blueGreen, redOrdered);

  // The fourth byte is the caller's: read it back and keep it.
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  auto* out = reinterpret_cast<__m256i*>(rows.out + 4 * x);
  _mm256_storeu_si256(
      out,
      _mm256_or_si256(low, _mm256_and_si256(_mm256_loadu_si256(out), fourth)));
  _mm256_storeu_si256(
      out + 1, _mm256_or_si256(high, _mm256_and_si256(
                                         _mm256_loadu_si256(out + 1), fourth)));
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
    sse2::DemosaicInterior(frame);
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

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
