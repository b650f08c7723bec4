// SSE2 nearest-sample packing: 4 output pixels a step. The loops are in
// pack_driver.h; here are the loads and stores of one block.
#if defined(__SSE2__)

#include <emmintrin.h>

#include "imaging/pack_driver.h"

namespace quorvel::imaging::sse2 {
namespace {

struct Isa {
  using Pixels = __m128i;
  typedef std::uint32_t Words __attribute__((vector_size(16)));
  static constexpr bool kStoresFour24 = false;

  static Pixels LoadPixels(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }

  static Pixels LoadEvenPixels(const std::uint8_t* p) {
    const auto* q = reinterpret_cast<const float*>(p);
    return _mm_castps_si128(_mm_shuffle_ps(_mm_loadu_ps(q), _mm_loadu_ps(q + 4),
                                           _MM_SHUFFLE(2, 0, 2, 0)));
  }

  static Pixels Gather(const std::int32_t* pixel) {
    return _mm_setr_epi32(pixel[0], pixel[1], pixel[2], pixel[3]);
  }

  static void Store32(std::uint8_t* out, Pixels pixels) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pixels);
  }

  static void Store24(std::uint8_t* out, Pixels pixels) {
    // Each 64-bit half: pixel 0's three bytes, then pixel 1's.
    const __m128i pairs =
        _mm_or_si128(_mm_and_si128(pixels, _mm_set1_epi64x(0x0000000000FFFFFF)),
                     _mm_and_si128(_mm_srli_epi64(pixels, 8),
                                   _mm_set1_epi64x(0x0000FFFFFF000000)));
    // Close the 2-byte gap between the halves: 12 bytes at the bottom.
    const __m128i first6 = _mm_set_epi64x(0, 0x0000FFFFFFFFFFFF);
    const __m128i packed =
        _mm_or_si128(_mm_and_si128(pairs, first6),
                     _mm_andnot_si128(first6, _mm_srli_si128(pairs, 2)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(out + 8, &tail, 4);
  }

  static void Store16(std::uint8_t* out, Pixels values) {
    // Sign-extend the 16-bit values so the signed pack keeps them exactly.
    const __m128i value = _mm_srai_epi32(_mm_slli_epi32(values, 16), 16);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                     _mm_packs_epi32(value, value));
  }
};

}  // namespace

void PackRow(const std::uint8_t* source, std::uint8_t* destination,
             std::ptrdiff_t sourceCount, std::int32_t stepX,
             std::int32_t bitsPerPixel) {
  PackRowWith<Isa>(source, destination, sourceCount, stepX, bitsPerPixel);
}

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
