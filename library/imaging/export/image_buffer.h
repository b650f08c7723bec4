// The buffers an export allocates for one call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "imaging/convert.h"
#include "platform/allocate.h"

namespace quorvel::imaging {

// The conversion routines index images with 32-bit arithmetic; a buffer
// they work on must stay within that range.
inline constexpr std::uint64_t kLargestImageBuffer =
    std::numeric_limits<std::int32_t>::max();

// bytes zeroed bytes, or null when they exceed that range or cannot be had.
inline std::unique_ptr<std::uint8_t[]> TryAllocateImage(std::uint64_t bytes) {
  if (bytes > kLargestImageBuffer) return nullptr;
  return platform::TryAllocate<std::uint8_t>(static_cast<std::size_t>(bytes));
}

// A BGRX work image of width x height, formed without overflow.
inline std::uint64_t WorkImageBytes(std::int32_t width, std::int32_t height) {
  return static_cast<std::uint64_t>(width) *
         static_cast<std::uint64_t>(height) * kWorkPixelBytes;
}

}  // namespace quorvel::imaging
