// AVX2 grey expansion: 16 pixels a step, two byte shuffles per step. The
// loop is in expand_mono_driver.h; here are the loads and stores of one
// block.
#if defined(QUORVEL_IMAGING_AVX2)

#include "imaging/expand_mono_driver.h"
#include "imaging/isa_avx2.h"

namespace quorvel::imaging::avx2 {
namespace {

struct Isa {
  // Sixteen grey values in both 128-bit halves (the byte shuffle cannot
  // cross halves).
  using Grey = __m256i;
  static constexpr std::ptrdiff_t kBlock = 16;

  static Grey LoadGrey8(const std::uint8_t* p) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }

  static Grey LoadGrey10(const std::uint8_t* p) {
    const __m256i samples =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i grey = _mm256_and_si256(_mm256_srli_epi16(samples, 2),
                                          _mm256_set1_epi16(0x00FF));
    // Packed as quarters 0-7, 0-7, 8-15, 8-15; take quarters 0, 2, 0, 2.
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(grey, grey), 0x88);
  }

  template <bool kStreamed>
  static void StoreGrey(std::uint8_t* destination, std::ptrdiff_t i,
                        Grey grey) {
    // Index -128 gives a zero byte.
    const __m256i first = _mm256_setr_epi8(
        0, 0, 0, -128, 1, 1, 1, -128, 2, 2, 2, -128, 3, 3, 3, -128,  //
        4, 4, 4, -128, 5, 5, 5, -128, 6, 6, 6, -128, 7, 7, 7, -128);
    const __m256i second = _mm256_setr_epi8(
        8, 8, 8, -128, 9, 9, 9, -128, 10, 10, 10, -128, 11, 11, 11, -128,  //
        12, 12, 12, -128, 13, 13, 13, -128, 14, 14, 14, -128, 15, 15, 15, -128);
    auto* out = reinterpret_cast<__m256i*>(destination + 4 * i);
    if constexpr (kStreamed) {
      _mm256_stream_si256(out, _mm256_shuffle_epi8(grey, first));
      _mm256_stream_si256(out + 1, _mm256_shuffle_epi8(grey, second));
    } else {
      _mm256_storeu_si256(out, _mm256_shuffle_epi8(grey, first));
      _mm256_storeu_si256(out + 1, _mm256_shuffle_epi8(grey, second));
    }
  }

  static void FenceStreams() { _mm_sfence(); }
};

}  // namespace

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::ptrdiff_t count, std::int32_t depth, bool streamed) {
  ExpandMonoWith<Isa>(source, destination, count, depth, streamed);
}

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
