// Instruction-set variants of the pixel conversions. The public routines in
// convert.h pick the fastest variant the processor runs; the variants stay
// callable one by one so that the tests prove every path bit-exact, not
// only the one the test machine happens to pick.
#pragma once

#include <cstdint>

namespace quorvel::imaging {

enum class PixelIsa : std::uint8_t {
  kScalar,  // portable C++, every platform
  kSse2,    // x86-64 baseline
  kAvx2,    // x86-64, chosen at run time
};

// True when the variant is compiled into this build and the processor (and
// its operating system) runs it.
bool PixelIsaAvailable(PixelIsa isa);

PixelIsa BestPixelIsa();

// The routines of convert.h run with one variant; an unavailable variant
// falls back to the scalar code.
void DemosaicBayerUsing(PixelIsa isa, const std::uint8_t* source,
                        std::uint8_t* destination, std::int32_t width,
                        std::int32_t height, std::int32_t sourcePitch,
                        std::int32_t depth);
void ExpandMonoUsing(PixelIsa isa, const std::uint8_t* source,
                     std::uint8_t* destination, std::int32_t width,
                     std::int32_t height, std::int32_t depth);
void DecimateAndPackUsing(PixelIsa isa, const std::uint8_t* source,
                          std::uint8_t* destination, std::int32_t width,
                          std::int32_t height, std::int32_t bitsPerPixel,
                          std::int32_t stepX, std::int32_t* outWidth,
                          std::int32_t stepY, std::int32_t* outHeight);

}  // namespace quorvel::imaging
