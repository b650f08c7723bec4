// Conversions of camera frames into BGRX work images and of work images
// into the packed pixels a screen or a bitmap file takes. They run once per
// displayed frame and once per export, on caller-owned buffers, without
// allocating, locking or keeping state.
//
// A BGRX work image is width x height pixels of 4 bytes (blue, green, red,
// and a fourth byte), rows top-down, pitch exactly width x 4 bytes.
#pragma once

#include <cstdint>

namespace quorvel {

inline constexpr std::int32_t kWorkPixelBytes = 4;

// Demosaics a GRBG Bayer frame (row 0 starts green, red; row 1 blue, green)
// into bytes 0-2 of each destination pixel; the fourth byte keeps whatever
// the caller left there. depth 8 reads 1-byte samples, 10 and 12 read 2-byte
// little-endian samples and keep their top 8 significant bits, wrapping
// (not clamping) samples above the significant range. Border pixels get
// black. sourcePitch counts samples from one row to the next.
// Nothing is written for another depth, width or height below 1,
// sourcePitch below width, or a null buffer.
void DemosaicBayer(const std::uint8_t* source, std::uint8_t* destination,
                   std::int32_t width, std::int32_t height,
                   std::int32_t sourcePitch, std::int32_t depth);

// Expands monochrome samples (depth 8: 1 byte each, depth 10: 2 bytes
// little-endian, top 8 of the 10 bits kept) into grey BGRX pixels with a
// zero fourth byte. Nothing is written for another depth, width or height
// below 1, or a null buffer. Large images go out with streaming stores
// (see pixel_isa.h), fenced before the call returns.
void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::int32_t width, std::int32_t height, std::int32_t depth);

// Converts a frame in the pixel format `format` (RVX_FORMAT_*) into the work
// image the way display and export both do: a Bayer frame is demosaiced at
// its format's depth (the fourth byte keeps its value), a monochrome frame
// expanded (the fourth byte 0). Returns false, writing nothing, for a code
// that names no format. Rows of the frame follow one another directly.
bool ConvertToWork(std::int32_t format, const std::uint8_t* pixels,
                   std::uint8_t* work, std::int32_t width, std::int32_t height);

// Keeps the top-left pixel of every stepX x stepY block of a work image and
// packs it as 16-bit 5:6:5 little-endian, 24-bit BGR or the 32-bit work
// pixel. The output size CeilDivide(width, stepX) x CeilDivide(height,
// stepY) is stored through each non-null size pointer whenever width,
// height and both steps are at least 1, also for an unsupported
// bitsPerPixel (which writes no pixels). With a smaller width, height or
// step the sizes would be meaningless: nothing at all is written then.
// Null buffers get no pixels written.
void DecimateAndPack(const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel, std::int32_t stepX,
                     std::int32_t* outWidth, std::int32_t stepY,
                     std::int32_t* outHeight);

}  // namespace quorvel
