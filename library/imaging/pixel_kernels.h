// Inner loops of the conversions, one namespace per instruction set. The
// callers in convert.cpp have checked every argument already: sizes are at
// least 1, buffers are non-null and hold the stated sizes, depths and
// pixel widths are supported ones.
//
// Only declarations live here: the AVX2 files are compiled with AVX2
// enabled, and an inline function shared with them could end up in the
// baseline code as an AVX2 copy. The loops the vector variants share are
// templates in demosaic_driver.h, expand_mono_driver.h and pack_driver.h,
// instantiated by each instruction-set file inside an unnamed namespace
// for the same reason.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel::imaging {

// A Bayer frame and its work image. pitchBytes is the byte distance from one
// source row to the next (the sample pitch times the sample width).
struct BayerFrame {
  const std::uint8_t* source;
  std::uint8_t* destination;
  std::int32_t width;
  std::int32_t height;
  std::ptrdiff_t pitchBytes;
  std::int32_t depth;  // 8, 10 or 12
};

// `streamed` asks the vector grey expansion to write with streaming stores
// (see pixel_isa.h); the scalar code always writes through the cache.

namespace scalar {
// Interior pixels x in [xBegin, xEnd) of row y, with 1 <= y <= height - 2
// and 1 <= xBegin <= xEnd <= width - 1.
void DemosaicSpan(const BayerFrame& frame, std::int32_t y, std::int32_t xBegin,
                  std::int32_t xEnd);
// Every pixel that is not on the border.
void DemosaicInterior(const BayerFrame& frame);
// count pixels; depth 8 or 10.
void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::ptrdiff_t count, std::int32_t depth);
// Packs source pixels 0, stepX, 2 x stepX, ... below sourceCount;
// bitsPerPixel 16, 24 or 32.
void PackRow(const std::uint8_t* source, std::uint8_t* destination,
             std::ptrdiff_t sourceCount, std::int32_t stepX,
             std::int32_t bitsPerPixel);
}  // namespace scalar

// The vector builds, one namespace each, offer the same three routines.
#define QUORVEL_VECTOR_PIXEL_KERNELS                                        \
  void DemosaicInterior(const BayerFrame& frame);                          \
  void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,   \
                  std::ptrdiff_t count, std::int32_t depth, bool streamed); \
  void PackRow(const std::uint8_t* source, std::uint8_t* destination,      \
               std::ptrdiff_t sourceCount, std::int32_t stepX,             \
               std::int32_t bitsPerPixel);

#if defined(__SSE2__)
namespace sse2 {
QUORVEL_VECTOR_PIXEL_KERNELS
}  // namespace sse2
#endif

#if defined(QUORVEL_IMAGING_AVX2)
namespace avx2 {
QUORVEL_VECTOR_PIXEL_KERNELS
}  // namespace avx2
#endif

#undef QUORVEL_VECTOR_PIXEL_KERNELS

}  // namespace quorvel::imaging
