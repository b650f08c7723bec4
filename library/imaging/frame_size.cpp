#include "imaging/frame_size.h"

#include <limits>

#include "imaging/pixel_format.h"

namespace quorvel {

std::int32_t FrameByteSize(std::int32_t width, std::int32_t height,
                           std::int32_t formatCode) {
  const PixelFormat* format = FindPixelFormat(formatCode);
  if (format == nullptr) return 0;
  // The conversions to 16 bits keep the low 16 bits (defined since C++20).
  const std::int32_t pixels = std::int32_t{static_cast<std::int16_t>(width)} *
                              std::int32_t{static_cast<std::int16_t>(height)};
  // 2 x 32768 x 32768 does not fit; wrap it the way the 32-bit product
  // always has instead of invoking signed overflow.
  return static_cast<std::int32_t>(std::int64_t{pixels} *
                                   format->bytesPerPixel);
}

std::int32_t CeilDivide(std::int32_t a, std::int32_t b) {
  if (b == 0) {
    return 0;
  }
  const std::int64_t quotient =
      (std::int64_t{a} + std::int64_t{b} - 1) / std::int64_t{b};
  // Only b == -1 and a near the bottom of the range get here; the quotient
  // can never fall below the range.
  if (quotient > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(quotient);
}

bool ChooseDecimationStep(std::int32_t size, std::int32_t limit,
                          std::int32_t* step, std::int32_t* displaySize) {
  if (size < 1 || limit < 1 || step == nullptr || displaySize == nullptr) {
    return false;
  }
  // size / s <= limit  <=>  size < (limit + 1) * s, so the first step that
  // passes the test is size / (limit + 1) + 1. Counting up one step at a
  // time would take a billion rounds for a tiny limit.
  const std::int64_t chosen =
      std::int64_t{size} / (std::int64_t{limit} + 1) + 1;
  *step = static_cast<std::int32_t>(chosen);
  *displaySize = CeilDivide(size, *step);
  return true;
}

}  // namespace quorvel
