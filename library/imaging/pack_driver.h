// Nearest-sample packing, written once for every instruction set:
// pack_sse2.cpp and pack_avx2.cpp each describe how they load and store a
// vector of work pixels in a small `Isa` struct and instantiate the loops
// below with it.
//
// Include this from the instruction-set files only: as demosaic_driver.h
// explains, everything here is a template over the including file's own
// Isa in an unnamed namespace, so no definition is shared between files
// compiled for different instruction sets.
//
// An Isa provides:
//   Pixels                     a vector of work pixels
//   Words                      the same bits as unsigned 32-bit lanes (a GNU
//                              vector type)
//   LoadPixels(p)              a vector of pixels from p
//   LoadEvenPixels(p)          the even ones of two vectors of pixels from p
//   Gather(pixel)              a vector of the 32-bit values pixel[]
//   Store32(out, pixels)       the work pixels unchanged
//   Store24(out, pixels)       their first three bytes each
//   Store16(out, values)       the low 16 bits of each 32-bit lane
//   kStoresFour24, StoreFour24(out, block0, block1, block2, block3)
//                              four blocks at 24 bits in one go, where that
//                              is faster than one block at a time
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixel_kernels.h"

namespace quorvel::imaging {
namespace {

template <class Isa>
inline constexpr std::ptrdiff_t kPackBlock = sizeof(typename Isa::Pixels) /
                                             sizeof(std::uint32_t);

// Loaders return the kPackBlock work pixels that become output pixels i ..
// i + kPackBlock - 1.
template <class Isa>
struct ContiguousPixels {
  const std::uint8_t* source;
  typename Isa::Pixels operator()(std::ptrdiff_t i) const {
    return Isa::LoadPixels(source + 4 * i);
  }
};

// Reads pixels 2i .. 2i + 2 kPackBlock - 1 and keeps the even ones.
template <class Isa>
struct EveryOtherPixel {
  const std::uint8_t* source;
  typename Isa::Pixels operator()(std::ptrdiff_t i) const {
    return Isa::LoadEvenPixels(source + 8 * i);
  }
};

template <class Isa>
struct StridedPixels {
  const std::uint8_t* source;
  std::ptrdiff_t stride;  // bytes
  typename Isa::Pixels operator()(std::ptrdiff_t i) const {
    const std::uint8_t* p = source + i * stride;
    std::int32_t pixel[kPackBlock<Isa>];
    for (std::ptrdiff_t k = 0; k < kPackBlock<Isa>; ++k) {
      std::memcpy(&pixel[k], p + k * stride, 4);
    }
    return Isa::Gather(pixel);
  }
};

// 5:6:5 in the low half of each 32-bit lane.
template <class Isa>
inline typename Isa::Pixels Rgb565(typename Isa::Pixels pixels) {
  using Words = typename Isa::Words;
  const Words words = Words(pixels);
  const Words red = (words >> 8) & 0xF800;
  const Words green = (words >> 5) & 0x07E0;
  const Words blue = (words >> 3) & 0x001F;
  return typename Isa::Pixels(red | (green | blue));
}

template <class Isa, int kBits>
inline void PackStore(std::uint8_t* destination, std::ptrdiff_t i,
                      typename Isa::Pixels pixels) {
  if constexpr (kBits == 32) {
    Isa::Store32(destination + 4 * i, pixels);
  } else if constexpr (kBits == 24) {
    Isa::Store24(destination + 3 * i, pixels);
  } else {
    Isa::Store16(destination + 2 * i, Rgb565<Isa>(pixels));
  }
}

// count >= kPackBlock. The last block overlaps the one before when count is
// not a multiple of the block; it writes the same values again.
template <class Isa, int kBits, class Load>
void PackBlocks(Load load, std::uint8_t* destination, std::ptrdiff_t count) {
  constexpr std::ptrdiff_t kBlock = kPackBlock<Isa>;
  std::ptrdiff_t i = 0;
  if constexpr (kBits == 24 && Isa::kStoresFour24) {
    for (; i + 4 * kBlock <= count; i += 4 * kBlock) {
      Isa::StoreFour24(destination + 3 * i, load(i), load(i + kBlock),
                       load(i + 2 * kBlock), load(i + 3 * kBlock));
    }
  }
  for (; i + kBlock <= count; i += kBlock) {
    PackStore<Isa, kBits>(destination, i, load(i));
  }
  if (i < count) {
    PackStore<Isa, kBits>(destination, count - kBlock, load(count - kBlock));
  }
}

template <class Isa, class Load>
void PackWith(Load load, std::uint8_t* destination, std::ptrdiff_t count,
              std::int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 32:
      PackBlocks<Isa, 32>(load, destination, count);
      return;
    case 24:
      PackBlocks<Isa, 24>(load, destination, count);
      return;
    default:
      PackBlocks<Isa, 16>(load, destination, count);
      return;
  }
}

template <class Isa>
void PackRowWith(const std::uint8_t* source, std::uint8_t* destination,
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
  if (vectorCount < kPackBlock<Isa>) {
    vectorCount = 0;
  } else if (stepX == 1) {
    PackWith<Isa>(ContiguousPixels<Isa>{source}, destination, vectorCount,
                  bitsPerPixel);
  } else if (stepX == 2) {
    PackWith<Isa>(EveryOtherPixel<Isa>{source}, destination, vectorCount,
                  bitsPerPixel);
  } else {
    PackWith<Isa>(StridedPixels<Isa>{source, std::ptrdiff_t{stepX} * 4},
                  destination, vectorCount, bitsPerPixel);
  }
  if (vectorCount < outCount) {
    const std::ptrdiff_t done = vectorCount * stepX;
    scalar::PackRow(source + 4 * done,
                    destination + vectorCount * (bitsPerPixel / 8),
                    sourceCount - done, stepX, bitsPerPixel);
  }
}

}  // namespace
}  // namespace quorvel::imaging
