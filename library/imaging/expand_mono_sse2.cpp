// SSE2 grey expansion: 16 pixels a step. The loop is in
// expand_mono_driver.h; here are the loads and stores of one block.
#if defined(__SSE2__)

#include <emmintrin.h>

#include "imaging/expand_mono_driver.h"

namespace quorvel::imaging::sse2 {
namespace {

struct Isa {
  using Grey = __m128i;
  static constexpr std::ptrdiff_t kBlock = 16;

  static Grey LoadGrey8(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }

  // Low 8 bits of sample >> 2; masking first keeps the saturating pack from
  // clamping a sample above the 10-bit range.
  static Grey LoadGrey10(const std::uint8_t* p) {
    const auto* samples = reinterpret_cast<const __m128i*>(p);
    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i first =
        _mm_and_si128(_mm_srli_epi16(_mm_loadu_si128(samples), 2), lowByte);
    const __m128i second =
        _mm_and_si128(_mm_srli_epi16(_mm_loadu_si128(samples + 1), 2), lowByte);
    return _mm_packus_epi16(first, second);
  }

  template <bool kStreamed>
  static void StoreGrey(std::uint8_t* destination, std::ptrdiff_t i,
                        Grey grey) {
    const __m128i zero = _mm_setzero_si128();
    // (g, g) pairs and (g, 0) pairs interleave to g, g, g, 0.
    const __m128i twiceLow = _mm_unpacklo_epi8(grey, grey);
    const __m128i twiceHigh = _mm_unpackhi_epi8(grey, grey);
    const __m128i withZeroLow = _mm_unpacklo_epi8(grey, zero);
    const __m128i withZeroHigh = _mm_unpackhi_epi8(grey, zero);
    auto* out = reinterpret_cast<__m128i*>(destination + 4 * i);
    auto store = [out](int k, __m128i pixels) {
      if constexpr (kStreamed) {
        _mm_stream_si128(out + k, pixels);
      } else {
        _mm_storeu_si128(out + k, pixels);
      }
    };
    store(0, _mm_unpacklo_epi16(twiceLow, withZeroLow));
    store(1, _mm_unpackhi_epi16(twiceLow, withZeroLow));
    store(2, _mm_unpacklo_epi16(twiceHigh, withZeroHigh));
    store(3, _mm_unpackhi_epi16(twiceHigh, withZeroHigh));
  }

  static void FenceStreams() { _mm_sfence(); }
};

}  // namespace

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::ptrdiff_t count, std::int32_t depth, bool streamed) {
  ExpandMonoWith<Isa>(source, destination, count, depth, streamed);
}

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
