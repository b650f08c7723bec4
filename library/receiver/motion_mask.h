// Expansion of a camera's run-coded motion mask into a mask image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

inline constexpr std::uint8_t kMaskMoving = 0xFF;
inline constexpr std::uint8_t kMaskStill = 0x00;

// Expands `codeBytes` run codes into `target`, a width x height image of one
// byte a pixel, row-major. Each code byte is one run: bit 0 is the value
// (1 gives kMaskMoving, 0 kMaskStill) and bits 7..1 the length minus one.
// Runs past the end of the image are cut there; pixels after the last run
// keep their value. Returns the number of code bytes consumed, which is all
// of them (0 when `code` is null or `codeBytes` is negative). Nothing is
// written when `target` is null or a dimension is below 1.
std::int32_t DecodeMotionMask(const std::uint8_t* code, std::int32_t codeBytes,
                              std::uint8_t* target, std::int32_t width,
                              std::int32_t height);

// How many pixels from the start DecodeMotionMask would write for the same
// code: the sum of its runs, at most `limit`.
std::size_t MaskRunPixels(const std::uint8_t* code, std::int32_t codeBytes,
                          std::size_t limit);

}  // namespace quorvel
