// AVX2 nearest-sample packing: 8 output pixels a step. The loops are in
// pack_driver.h; here are the loads and stores of one block.
#if defined(QUORVEL_IMAGING_AVX2)

#include "imaging/isa_avx2.h"
#include "imaging/pack_driver.h"

namespace quorvel::imaging::avx2 {
namespace {

// Drops every fourth byte within each 128-bit half, leaving 12 bytes at the
// bottom of each (index -128 gives a zero byte).
inline __m256i DropFourthBytes(__m256i pixels) {
  const __m256i dropFourth = _mm256_setr_epi8(
      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128,  //
      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  return _mm256_shuffle_epi8(pixels, dropFourth);
}

struct Isa {
  using Pixels = __m256i;
  typedef std::uint32_t Words __attribute__((vector_size(32)));
  static constexpr bool kStoresFour24 = true;

  static Pixels LoadPixels(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }

  static Pixels LoadEvenPixels(const std::uint8_t* p) {
    const auto* q = reinterpret_cast<const float*>(p);
    // Even pixels come out as 0 2 8 10 | 4 6 12 14; quarters 0 2 1 3
    // put them in order.
    const __m256 even = _mm256_shuffle_ps(
        _mm256_loadu_ps(q), _mm256_loadu_ps(q + 8), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(even), 0xD8);
  }

  static Pixels Gather(const std::int32_t* pixel) {
    return _mm256_setr_epi32(pixel[0], pixel[1], pixel[2], pixel[3], pixel[4],
                             pixel[5], pixel[6], pixel[7]);
  }

  static void Store32(std::uint8_t* out, Pixels pixels) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pixels);
  }

  static void Store24(std::uint8_t* out, Pixels pixels) {
    // Then the upper half's 12 bytes move down against the lower half's.
    const __m256i packed = _mm256_permutevar8x32_epi32(
        DropFourthBytes(pixels), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16),
                     _mm256_extracti128_si256(packed, 1));
  }

  static void Store16(std::uint8_t* out, Pixels values) {
    // Packed as quarters 0-3, 0-3, 4-7, 4-7; take quarters 0 and 2.
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packus_epi32(values, values), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm256_castsi256_si128(packed));
  }

  // Four blocks of 24-bit pixels fill exactly three 32-byte stores, which
  // beats two smaller stores a block. (Plain arguments, not an array: an
  // array makes the compiler take the vectors through memory.)
  static void StoreFour24(std::uint8_t* destination, __m256i block0,
                          __m256i block1, __m256i block2, __m256i block3) {
    // Each block's 24 bytes now sit in 32-bit elements 0-2 and 4-6.
    const __m256i packed0 = DropFourthBytes(block0);
    const __m256i packed1 = DropFourthBytes(block1);
    const __m256i packed2 = DropFourthBytes(block2);
    const __m256i packed3 = DropFourthBytes(block3);
    // In compact elements: 0-5 of block 0 and 0-1 of block 1; 2-5 of block
    // 1 and 0-3 of block 2; 4-5 of block 2 and 0-5 of block 3.
    const __m256i first = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(packed0,
                                    _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
        _mm256_permutevar8x32_epi32(packed1,
                                    _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)),
        0xC0);
    const __m256i second = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(packed1,
                                    _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0)),
        _mm256_permutevar8x32_epi32(packed2,
                                    _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 4)),
        0xF0);
    const __m256i third = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(packed2,
                                    _mm256_setr_epi32(5, 6, 0, 0, 0, 0, 0, 0)),
        _mm256_permutevar8x32_epi32(packed3,
                                    _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6)),
        0xFC);
    auto* out = reinterpret_cast<__m256i*>(destination);
    _mm256_storeu_si256(out, first);
    _mm256_storeu_si256(out + 1, second);
    _mm256_storeu_si256(out + 2, third);
  }
};

}  // namespace

void PackRow(const std::uint8_t* source, std::uint8_t* destination,
             std::ptrdiff_t sourceCount, std::int32_t stepX,
             std::int32_t bitsPerPixel) {
  PackRowWith<Isa>(source, destination, sourceCount, stepX, bitsPerPixel);
}

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
