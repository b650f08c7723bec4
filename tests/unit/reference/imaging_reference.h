// Plain loops that follow the description of the pixel routines word for
// word, with no concern for speed. The tests and the benchmark hold the
// library's routines against them.
#pragma once

#include <cstdint>

namespace quorvel::reference {

std::int32_t FrameByteSize(std::int32_t width, std::int32_t height,
                           std::int32_t formatCode);
std::int32_t CeilDivide(std::int32_t a, std::int32_t b);
bool ChooseDecimationStep(std::int32_t size, std::int32_t limit,
                          std::int32_t* step, std::int32_t* displaySize);
void DemosaicBayer(const std::uint8_t* source, std::uint8_t* destination,
                   std::int32_t width, std::int32_t height,
                   std::int32_t sourcePitch, std::int32_t depth);
void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::int32_t width, std::int32_t height, std::int32_t depth);
void DecimateAndPack(const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel, std::int32_t stepX,
                     std::int32_t* outWidth, std::int32_t stepY,
                     std::int32_t* outHeight);

}  // namespace quorvel::reference
