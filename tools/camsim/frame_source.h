// What the simulated camera shows: a few shapes that move across a
// gradient, as monochrome pictures or as run-coded motion masks.
#pragma once

#include <cstdint>
#include <vector>

namespace camsim {

// A width x height monochrome picture (one byte a pixel) of frame number
// index: a diagonal gradient with bright moving discs.
std::vector<std::uint8_t> RenderPicture(std::int32_t width, std::int32_t height,
                                        std::uint32_t index);
// The motion mask of the same frame: 0xFF inside the moving discs, 0x00
// elsewhere.
std::vector<std::uint8_t> RenderMask(std::int32_t width, std::int32_t height,
                                     std::uint32_t index);
// The camera's run code of a mask: one byte a run of 1 to 128 pixels, bit 0
// the value (1 moving), bits 7..1 the length minus one.
std::vector<std::uint8_t> EncodeRuns(const std::vector<std::uint8_t>& mask);

}  // namespace camsim
