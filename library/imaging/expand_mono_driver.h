// Grey expansion, written once for every instruction set:
// expand_mono_sse2.cpp and expand_mono_avx2.cpp each describe how they load
// kBlock grey values and store them as work pixels in a small `Isa` struct
// and instantiate the loop below with it.
//
// Include this from the instruction-set files only: as demosaic_driver.h
// explains, everything here is a template over the including file's own
// Isa in an unnamed namespace, so no definition is shared between files
// compiled for different instruction sets.
//
// An Isa provides:
//   Grey                           kBlock grey values, one byte each
//   kBlock                         pixels a step
//   LoadGrey8(p), LoadGrey10(p)    kBlock 8-bit or 10-bit samples from p as
//                                  grey
//   StoreGrey<kStreamed>(destination, i, grey)
//                                  work pixels i .. i + kBlock - 1;
//                                  kStreamed needs destination + 4i aligned
//                                  to a whole vector
//   FenceStreams()                 orders the streaming stores before later
//                                  ones
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging {
namespace {

// Samples i .. i + kBlock - 1.
template <class Isa, int kDepth>
inline typename Isa::Grey LoadGrey(const std::uint8_t* source,
                                   std::ptrdiff_t i) {
  if constexpr (kDepth == 8) {
    return Isa::LoadGrey8(source + i);
  } else {
    return Isa::LoadGrey10(source + 2 * i);
  }
}

// count >= kBlock. Blocks that overlap (the first and last ones below)
// write the same values twice: source and destination are separate.
template <class Isa, int kDepth>
void ExpandBlocks(const std::uint8_t* source, std::uint8_t* destination,
                  std::ptrdiff_t count, bool streamed) {
  constexpr std::ptrdiff_t kBlock = Isa::kBlock;
  // Streaming stores write whole vectors at their own alignment.
  constexpr std::uintptr_t kStreamAlign = sizeof(typename Isa::Grey);
  const std::uintptr_t misalignment =
      reinterpret_cast<std::uintptr_t>(destination) % kStreamAlign;
  // Pixels can only reach an aligned address if they start 4-aligned.
  streamed = streamed && misalignment % 4 == 0;
  std::ptrdiff_t i = 0;
  if (streamed) {
    // An ordinary first block covers the pixels before the first aligned
    // address (fewer than kStreamAlign / 4).
    Isa::template StoreGrey<false>(destination, 0,
                                   LoadGrey<Isa, kDepth>(source, 0));
    i = static_cast<std::ptrdiff_t>((kStreamAlign - misalignment) %
                                    kStreamAlign / 4);
    for (; i + kBlock <= count; i += kBlock) {
      Isa::template StoreGrey<true>(destination, i,
                                    LoadGrey<Isa, kDepth>(source, i));
    }
  } else {
    for (; i + kBlock <= count; i += kBlock) {
      Isa::template StoreGrey<false>(destination, i,
                                     LoadGrey<Isa, kDepth>(source, i));
    }
  }
  if (i < count) {
    Isa::template StoreGrey<false>(
        destination, count - kBlock,
        LoadGrey<Isa, kDepth>(source, count - kBlock));
  }
  if (streamed) {
    // Streaming stores are weakly ordered: make them visible before
    // whatever the caller stores next (such as a "frame ready" flag).
    Isa::FenceStreams();
  }
}

template <class Isa>
void ExpandMonoWith(const std::uint8_t* source, std::uint8_t* destination,
                    std::ptrdiff_t count, std::int32_t depth, bool streamed) {
  if (count < Isa::kBlock) {
    scalar::ExpandMono(source, destination, count, depth);
  } else if (depth == 8) {
    ExpandBlocks<Isa, 8>(source, destination, count, streamed);
  } else {
    ExpandBlocks<Isa, 10>(source, destination, count, streamed);
  }
}

}  // namespace
}  // namespace quorvel::imaging
