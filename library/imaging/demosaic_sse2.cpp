// SSE2 Bayer interpolation: 8 pixels of one row a step. The loops and the
// arithmetic are in demosaic_driver.h; here are the loads and stores.
#if defined(__SSE2__)

#include <emmintrin.h>

#include "imaging/demosaic_driver.h"

namespace quorvel::imaging::sse2 {
namespace {

struct Isa {
  typedef std::uint16_t Lanes __attribute__((vector_size(16)));

  static Lanes LoadWide(const std::uint8_t* p) {
    return Lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }

  static Lanes LoadNarrow(const std::uint8_t* p) {
    return Lanes(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                          _mm_setzero_si128()));
  }

  static Lanes OddLanesFrom(Lanes even, Lanes odd) {
    const __m128i oddLanes = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
    return Lanes(_mm_or_si128(_mm_andnot_si128(oddLanes, __m128i(even)),
                              _mm_and_si128(oddLanes, __m128i(odd))));
  }

  static void Store(std::uint8_t* pixels, Lanes blueGreen, Lanes red) {
    // The fourth byte is the caller's: read it back and keep it.
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    auto* out = reinterpret_cast<__m128i*>(pixels);
    const __m128i low = _mm_unpacklo_epi16(__m128i(blueGreen), __m128i(red));
    const __m128i high = _mm_unpackhi_epi16(__m128i(blueGreen), __m128i(red));
    _mm_storeu_si128(
        out, _mm_or_si128(low, _mm_and_si128(_mm_loadu_si128(out), fourth)));
    _mm_storeu_si128(
        out + 1,
        _mm_or_si128(high, _mm_and_si128(_mm_loadu_si128(out + 1), fourth)));
  }

  static void Narrow(const BayerFrame& frame) {
    scalar::DemosaicInterior(frame);
  }
};

}  // namespace

void DemosaicInterior(const BayerFrame& frame) {
  DemosaicInteriorWith<Isa>(frame);
}

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
