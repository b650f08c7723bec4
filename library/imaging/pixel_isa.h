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

// How the vector grey expansion writes its output. A work image far larger
// than the cache is evicted before anyone reads it again, so ordinary
// stores, which first read every destination line into the cache, waste
// memory traffic on it; streaming stores skip that read. An image that fits
// the last-level cache is better kept there, as the display reads it right
// after. By size: streaming stores from kStreamingBytes of output (a large
// last-level cache; a 2048 x 2048 work image, 16 MiB, stays below), ordinary
// stores below. The other two force one way so the tests can check both on
// small frames.
// Packing keeps ordinary stores: it reads more than it writes, which leaves
// less to gain.
enum class OutputStores : std::uint8_t { kBySize, kCached, kStreamed };

inline constexpr std::int64_t kStreamingBytes = std::int64_t{32} << 20;

// True when the variant is compiled into this build and the processor (and
// its operating system) runs it; platform::AllowAvx2(false) takes AVX2 out.
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
                     std::int32_t height, std::int32_t depth,
                     OutputStores stores = OutputStores::kBySize);
void DecimateAndPackUsing(PixelIsa isa, const std::uint8_t* source,
                          std::uint8_t* destination, std::int32_t width,
                          std::int32_t height, std::int32_t bitsPerPixel,
                          std::int32_t stepX, std::int32_t* outWidth,
                          std::int32_t stepY, std::int32_t* outHeight);

}  // namespace quorvel::imaging
