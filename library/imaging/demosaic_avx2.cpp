// AVX2 Bayer interpolation: 16 pixels of one row a step. The loops and the
// arithmetic are in demosaic_driver.h; here are the loads and stores.
#if defined(QUORVEL_IMAGING_AVX2)

#include "imaging/demosaic_driver.h"
#include "imaging/isa_avx2.h"

namespace quorvel::imaging::avx2 {
namespace {

struct Isa {
  typedef std::uint16_t Lanes __attribute__((vector_size(32)));

  static Lanes LoadWide(const std::uint8_t* p) {
    return Lanes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }

  static Lanes LoadNarrow(const std::uint8_t* p) {
    return Lanes(_mm256_cvtepu8_epi16(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
  }

  static Lanes OddLanesFrom(Lanes even, Lanes odd) {
    return Lanes(_mm256_blend_epi16(__m256i(even), __m256i(odd), 0xAA));
  }

  static void Store(std::uint8_t* pixels, Lanes blueGreen, Lanes red) {
    // The 16-bit interleave below works within 128-bit halves; ordering the
    // 64-bit quarters 0, 2, 1, 3 first makes its two results pixels 0-7 and
    // 8-15 in order.
    const __m256i blueGreenOrdered =
        _mm256_permute4x64_epi64(__m256i(blueGreen), 0xD8);
    const __m256i redOrdered = _mm256_permute4x64_epi64(__m256i(red), 0xD8);
    const __m256i low = _mm256_unpacklo_epi16(blueGreenOrdered, redOrdered);
    const __m256i high = _mm256_unpackhi_epi16(blueGreenOrdered, redOrdered);
    // The fourth byte is the caller's: read it back and keep it.
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    auto* out = reinterpret_cast<__m256i*>(pixels);
    _mm256_storeu_si256(
        out, _mm256_or_si256(
                 low, _mm256_and_si256(_mm256_loadu_si256(out), fourth)));
    _mm256_storeu_si256(
        out + 1,
        _mm256_or_si256(high,
                        _mm256_and_si256(_mm256_loadu_si256(out + 1), fourth)));
  }

  static void Narrow(const BayerFrame& frame) { sse2::DemosaicInterior(frame); }
};

}  // namespace

void DemosaicInterior(const BayerFrame& frame) {
  DemosaicInteriorWith<Isa>(frame);
}

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
