// AVX2 grey expansion: 16 pixels a step, two byte shuffles per step.
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

constexpr std::ptrdiff_t kBlock = 16;
constexpr std::uintptr_t kStreamAlign = 32;

// Sixteen grey values, one byte each, in both 128-bit halves (the byte
// shuffle cannot cross halves).
template <int kDepth>
inline __m256i LoadGrey(const std::uint8_t* source, std::ptrdiff_t i) {
  if constexpr (kDepth == 8) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
  } else {
    // Low 8 bits of sample >> 2; masking first keeps the saturating pack
    // from clamping a sample above the 10-bit range.
    const __m256i samples =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 2 * i));
    const __m256i grey = _mm256_and_si256(_mm256_srli_epi16(samples, 2),
                                          _mm256_set1_epi16(0x00FF));
    // Packed as quarters 0-7, 0-7, 8-15, 8-15; take quarters 0, 2, 0, 2.
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(grey, grey), 0x88);
  }
}

// kStreamed needs destination + 4i aligned to kStreamAlign.
template <bool kStreamed>
inline void StoreGrey(std::uint8_t* destination, std::ptrdiff_t i,
                      __m256i grey) {
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

// count >= kBlock. Blocks that overlap (the first and last ones below)
// write the same values twice: source and destination are separate.
template <int kDepth>
void Expand(const std::uint8_t* source, std::uint8_t* destination,
            std::ptrdiff_t count, bool streamed) {
  const std::uintptr_t misalignment =
      reinterpret_cast<std::uintptr_t>(destination) % kStreamAlign;
  // Pixels can only reach an aligned address if they start 4-aligned.
  streamed = streamed && misalignment % 4 == 0;
  std::ptrdiff_t i = 0;
  if (streamed) {
    // An ordinary first block covers the pixels before the first aligned
    // address (at most 7).
    StoreGrey<false>(destination, 0, LoadGrey<kDepth>(source, 0));
    i = static_cast<std::ptrdiff_t>((kStreamAlign - misalignment) %
                                    kStreamAlign / 4);
    for (; i + kBlock <= count; i += kBlock) {
      StoreGrey<true>(destination, i, LoadGrey<kDepth>(source, i));
    }
  } else {
    for (; i + kBlock <= count; i += kBlock) {
      StoreGrey<false>(destination, i, LoadGrey<kDepth>(source, i));
    }
  }
  if (i < count) {
    StoreGrey<false>(destination, count - kBlock,
                     LoadGrey<kDepth>(source, count - kBlock));
  }
  if (streamed) {
    // Streaming stores are weakly ordered: make them visible before
    // whatever the caller stores next (such as a "frame ready" flag).
    _mm_sfence();
  }
}

}  // namespace

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::ptrdiff_t count, std::int32_t depth, bool streamed) {
  if (count < kBlock) {
    scalar::ExpandMono(source, destination, count, depth);
  } else if (depth == 8) {
    Expand<8>(source, destination, count, streamed);
  } else {
    Expand<10>(source, destination, count, streamed);
  }
}

}  // namespace quorvel::imaging::avx2

#endif  // QUORVEL_IMAGING_AVX2
