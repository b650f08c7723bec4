// SSE2 grey expansion: 16 pixels a step.
#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging::sse2 {
namespace {

constexpr std::ptrdiff_t kBlock = 16;
constexpr std::uintptr_t kStreamAlign = 16;

// Sixteen grey values, one byte each.
template <int kDepth>
inline __m128i LoadGrey(const std::uint8_t* source, std::ptrdiff_t i) {
  if constexpr (kDepth == 8) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
  } else {
    // Low 8 bits of sample >> 2; masking first keeps the saturating pack
    // from clamping a sample above the 10-bit range.
    const auto* p = reinterpret_cast<const __m128i*>(source + 2 * i);
    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i first =
        _mm_and_si128(_mm_srli_epi16(_mm_loadu_si128(p), 2), lowByte);
    const __m128i second =
        _mm_and_si128(_mm_srli_epi16(_mm_loadu_si128(p + 1), 2), lowByte);
    return _mm_packus_epi16(first, second);
  }
}

// kStreamed needs destination + 4i aligned to kStreamAlign.
template <bool kStreamed>
inline void StoreGrey(std::uint8_t* destination, std::ptrdiff_t i,
                      __m128i grey) {
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
    // address (at most 3).
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

}  // namespace quorvel::imaging::sse2

#endif  // __SSE2__
