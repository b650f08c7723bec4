// AVX2 nearest-sample packing: 8 output pixels a step.
#if defined(QUORVEL_IMAGING_AVX2)

#if !defined(__AVX2__)
#error "this file must be compiled with AVX2 enabled"
#endif

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::avx2 {
namespace {

constexpr std::ptrdiff_t kBlock = 8;

// Loaders return the 8 work pixels that become output pixels i .. i + 7.
struct Contiguous {
  const std::uint8_t* source;
  __m256i operator()(std::ptrdiff_t i) const {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * i));
  }
};

// Reads pixels 2i .. 2i + 15 and keeps the even ones.
struct EveryOther {
  const std::uint8_t* source;
  __m256i operator()(std::ptrdiff_t i) const {
    const auto* p = reinterpret_cast<const float*>(source + 8 * i);
    // Even pixels come out as 0 2 8 10 | 4 6 12 14; quarters 0 2 1 3
    // put them in order.
    const __m256 even = _mm256_shuffle_ps(
        _mm256_loadu_ps(p), _mm256_loadu_ps(p + 8), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(even), 0xD8);
  }
};

struct Strided {
  const std::uint8_t* source;
  std::ptrdiff_t stride;  // bytes
  __m256i operator()(std::ptrdiff_t i) const {
    const std::uint8_t* p = source + i * stride;
    std::int32_t pixel[8];
    for (std::ptrdiff_t k = 0; k < 8; ++k) {
      std::memcpy(&pixel[k], p + k * stride, 4);
    }
    return _mm256_setr_epi32(pixel[0], pixel[1], pixel[2], pixel[3], pixel[4],
                             pixel[5], pixel[6], pixel[7]);
  }
};

inline __m256i Rgb565(__m256i pixels) {
  const __m256i red =
      _mm256_and_si256(_mm256_srli_epi32(pixels, 8), _mm256_set1_epi32(0xF800));
  const __m256i green =
      _mm256_and_si256(_mm256_srli_epi32(pixels, 5), _mm256_set1_epi32(0x07E0));
  const __m256i blue =
      _mm256_and_si256(_mm256_srli_epi32(pixels, 3), _mm256_set1_epi32(0x001F));
  return _mm256_or_si256(red, _mm256_or_si256(green, blue));
}

template <int kBits>
inline void Store(std::uint8_t* destination, std::ptrdiff_t i, __m256i pixels) {
  if constexpr (kBits == 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * i),
                        pixels);
  } else if constexpr (kBits == 24) {
    // Drop every fourth byte within each half (12 bytes each), then move
    // the upper half's 12 bytes down against the lower half's.
    const __m256i dropFourth = _mm256_setr_epi8(
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128,  //
        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, dropFourth),
                                    _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    std::uint8_t* out = destination + 3 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16),
                     _mm256_extracti128_si256(packed, 1));
  } else {
    const __m256i value = Rgb565(pixels);
    // Packed as quarters 0-3, 0-3, 4-7, 4-7; take quarters 0 and 2.
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packus_epi32(value, value), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 2 * i),
                     _mm256_castsi256_si128(packed));
  }
}

// Four blocks of 24-bit pixels fill exactly three 32-byte stores, which
// beats two smaller stores a block. (Plain arguments, not an array: an
// array makes the compiler take the vectors through memory.)
inline void StoreFour24(std::uint8_t* destination, std::ptrdiff_t i,
                        __m256i block0, __m256i block1, __m256i block2,
                        __m256i block3) {
  const __m256i dropFourth = _mm256_setr_epi8(
      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128,  //
      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  // Each block's 24 bytes now sit in 32-bit elements 0-2 and 4-6.
  const __m256i packed0 = _mm256_shuffle_epi8(block0, dropFourth);
  const __m256i packed1 = _mm256_shuffle_epi8(block1, dropFourth);
  const __m256i packed2 = _mm256_shuffle_epi8(block2, dropFourth);
  const __m256i packed3 = _mm256_shuffle_epi8(block3, dropFourth);
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
  auto* out = reinterpret_cast<__m256i*>(destination + 3 * i);
  _mm256_storeu_si256(out, first);
  _mm256_storeu_si256(out + 1, second);
  _mm256_storeu_si256(out + 2, third);
}

// count >= kBlock. The last block overlaps the one before when count is not
// a multiple of the block; it writes the same values again.
template <int kBits, class Load>
void PackBlocks(Load load, std::uint8_t* destination, std::ptrdiff_t count) {
  std::ptrdiff_t i = 0;
  if constexpr (kBits == 24) {
    for (; i + 4 * kBlock <= count; i += 4 * kBlock) {
      StoreFour24(destination, i, load(i), load(i + kBlock),
                  load(i + 2 * kBlock), load(i + 3 * kBlock));
    }
  }
  for (; i + kBlock <= count; i += kBlock) {
    Store<kBits>(destination, i, load(i));
  }
  if (i < count) {
    Store<kBits>(destination, count - kBlock, load(count - kBlock));
  }
}

template <class Load>
void PackWith(Load load, std::uint8_t* destination, std::ptrdiff_t count,
              std::int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 32:
      PackBlocks<32>(load, destination, count);
      return;
    case 24:
      PackBlocks<24>(load, destination, count);
      return;
    default:
      PackBlocks<16>(load, destination, count);
      return;
  }
}

}  // namespace

void PackRow(const std::uint8_t* source, std::uint8_t* destination,
             std::ptrdiff_t sourceCount, std::int32_t stepX,
             std::int32_t bitsPerPixel) {
  if (stepX == 1 && bitsPerPixel == 32) {
    std::memcpy(destination, source, static_cast<std::size_t>(sourceCount) * 4);
    return;
  }
  const std::ptrdiff_t outCount = (sourceCount + stepX - 1) / stepX;
  // Keeping every other pixel, a block also reads the pixel after each one
  // it keeps: only whole pairs are safe to read.
  std::ptrdiff_t vectorCount = stepX == 2 ? sourceCount / 2 : outCount;
  if (vectorCount < kBlock) {
    vectorCount = 0;
  } else if (stepX == 1) {
    PackWith(Contiguous{source}, destination, vectorCount, bitsPerPixel);
  } else if (stepX == 2) {
    PackWith(EveryOther{source}, destination, vectorCount, bitsPerPixel);
  } else {
    PackWith(Strided{source, std::ptrdiff_t{stepX} * 4}, destination,
             vectorCount, bitsPerPixel);
  }
  if (vectorCount < outCount) {
    const std::ptrdiff_t done = vectorCount * stepX;
    scalar::PackRow(source + 4 * done,
                    destination + vectorCount * (bitsPerPixel / 8),
                    sourceCount - done, stepX, bitsPerPixel);
  }
}

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
