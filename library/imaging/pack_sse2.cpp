// SSE2 nearest-sample packing: 4 output pixels a step.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::sse2 {
namespace {

constexpr std::ptrdiff_t kBlock = 4;

// Loaders return the 4 work pixels that become output pixels i .. i + 3.
struct Contiguous {
  const std::uint8_t* source;
  __m128i operator()(std::ptrdiff_t i) const {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i));
  }
};

// Reads pixels 2i .. 2i + 7 and keeps the even ones.
struct EveryOther {
  const std::uint8_t* source;
  __m128i operator()(std::ptrdiff_t i) const {
    const auto* p = reinterpret_cast<const float*>(source + 8 * i);
    return _mm_castps_si128(_mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4),
                                           _MM_SHUFFLE(2, 0, 2, 0)));
  }
};

struct Strided {
  const std::uint8_t* source;
  std::ptrdiff_t stride;  // bytes
  __m128i operator()(std::ptrdiff_t i) const {
    const std::uint8_t* p = source + i * stride;
    std::int32_t pixel[4];
    for (std::ptrdiff_t k = 0; k < 4; ++k) {
      std::memcpy(&pixel[k], p + k * stride, 4);
    }
    return _mm_setr_epi32(pixel[0], pixel[1], pixel[2], pixel[3]);
  }
};

// 5:6:5 in the low half of each 32-bit lane.
inline __m128i Rgb565(__m128i pixels) {
  const __m128i red =
      _mm_and_si128(_mm_srli_epi32(pixels, 8), _mm_set1_epi32(0xF800));
  const __m128i green =
      _mm_and_si128(_mm_srli_epi32(pixels, 5), _mm_set1_epi32(0x07E0));
  const __m128i blue =
      _mm_and_si128(_mm_srli_epi32(pixels, 3), _mm_set1_epi32(0x001F));
  return _mm_or_si128(red, _mm_or_si128(green, blue));
}

template <int kBits>
inline void Store(std::uint8_t* destination, std::ptrdiff_t i, __m128i pixels) {
  if constexpr (kBits == 32) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * i), pixels);
  } else if constexpr (kBits == 24) {
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
    std::uint8_t* out = destination + 3 * i;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
    const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
    std::memcpy(out + 8, &tail, 4);
  } else {
    // Sign-extend the 16-bit values so the signed pack keeps them exactly.
    const __m128i value =
        _mm_srai_epi32(_mm_slli_epi32(Rgb565(pixels), 16), 16);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 2 * i),
                     _mm_packs_epi32(value, value));
  }
}

// count >= kBlock. The last block overlaps the one before when count is not
// a multiple of the block; it writes the same values again.
template <int kBits, class Load>
void PackBlocks(Load load, std::uint8_t* destination, std::ptrdiff_t count) {
  std::ptrdiff_t i = 0;
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

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
