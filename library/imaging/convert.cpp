// Argument checks and the choice of instruction set; the loops themselves
// are in the demosaic_*, expand_mono_* and pack_* files.
#include "imaging/convert.h"

#include <cstddef>

#include "imaging/frame_size.h"
#include "imaging/pixel_format.h"
#include "imaging/pixel_isa.h"
#include "imaging/pixel_kernels.h"

namespace quorvel {
namespace imaging {
namespace {

using PackRowFunction = void (*)(const std::uint8_t*, std::uint8_t*,
                                 std::ptrdiff_t, std::int32_t, std::int32_t);

PixelIsa Usable(PixelIsa isa) {
  return PixelIsaAvailable(isa) ? isa : PixelIsa::kScalar;
}

bool Streamed(OutputStores stores, std::int64_t outputBytes) {
  return stores == OutputStores::kStreamed ||
         (stores == OutputStores::kBySize && outputBytes >= kStreamingBytes);
}

// Columns 0 and width - 1 and rows 0 and height - 1 get black; their fourth
// byte belongs to the caller like every other pixel's.
void ClearBorder(std::uint8_t* destination, std::int32_t width,
                 std::int32_t height) {
  const std::ptrdiff_t pitch = std::ptrdiff_t{width} * kWorkPixelBytes;
  const std::ptrdiff_t lastColumn = pitch - kWorkPixelBytes;
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = destination + y * pitch;
    for (int byte = 0; byte < 3; ++byte) {
      row[byte] = 0;
      row[lastColumn + byte] = 0;
    }
  }
  std::uint8_t* lastRow = destination + (height - 1) * pitch;
  for (std::ptrdiff_t offset = 0; offset < pitch; offset += kWorkPixelBytes) {
    for (int byte = 0; byte < 3; ++byte) {
      destination[offset + byte] = 0;
      lastRow[offset + byte] = 0;
    }
  }
}

}  // namespace

void DemosaicBayerUsing(PixelIsa isa, const std::uint8_t* source,
                        std::uint8_t* destination, std::int32_t width,
                        std::int32_t height, std::int32_t sourcePitch,
                        std::int32_t depth) {
  if (depth != 8 && depth != 10 && depth != 12) {
    return;
  }
  // A pitch below the width would make rows overlap: no caller means that.
  if (source == nullptr || destination == nullptr || width < 1 || height < 1 ||
      sourcePitch < width) {
    return;
  }
  const std::ptrdiff_t sampleBytes = depth == 8 ? 1 : 2;
  const BayerFrame frame{source,
                         destination,
                         width,
                         height,
                         std::ptrdiff_t{sourcePitch} * sampleBytes,
                         depth};
  ClearBorder(destination, width, height);
  if (width < 3 || height < 3) {
    return;
  }
  switch (Usable(isa)) {
#if defined(QUORVEL_IMAGING_AVX2)
    case PixelIsa::kAvx2:
      avx2::DemosaicInterior(frame);
      return;
#endif
#if defined(__SSE2__)
    case PixelIsa::kSse2:
      sse2::DemosaicInterior(frame);
      return;
#endif
    default:
      scalar::DemosaicInterior(frame);
      return;
  }
}

void ExpandMonoUsing(PixelIsa isa, const std::uint8_t* source,
                     std::uint8_t* destination, std::int32_t width,
                     std::int32_t height, std::int32_t depth,
                     OutputStores stores) {
  if ((depth != 8 && depth != 10) || source == nullptr ||
      destination == nullptr || width < 1 || height < 1) {
    return;
  }
  // Source and destination rows are both contiguous: one long row.
  const std::ptrdiff_t count = std::ptrdiff_t{width} * height;
  // Only the vector variants stream; a scalar-only build has no use for it.
  [[maybe_unused]] const bool streamed =
      Streamed(stores, std::int64_t{count} * kWorkPixelBytes);
  switch (Usable(isa)) {
#if defined(QUORVEL_IMAGING_AVX2)
    case PixelIsa::kAvx2:
      avx2::ExpandMono(source, destination, count, depth, streamed);
      return;
#endif
#if defined(__SSE2__)
    case PixelIsa::kSse2:
      sse2::ExpandMono(source, destination, count, depth, streamed);
      return;
#endif
    default:
      scalar::ExpandMono(source, destination, count, depth);
      return;
  }
}

void DecimateAndPackUsing(PixelIsa isa, const std::uint8_t* source,
                          std::uint8_t* destination, std::int32_t width,
                          std::int32_t height, std::int32_t bitsPerPixel,
                          std::int32_t stepX, std::int32_t* outWidth,
                          std::int32_t stepY, std::int32_t* outHeight) {
  if (width < 1 || height < 1 || stepX < 1 || stepY < 1) {
    return;
  }
  const std::int32_t columns = CeilDivide(width, stepX);
  const std::int32_t rows = CeilDivide(height, stepY);
  if (outWidth != nullptr) {
    *outWidth = columns;
  }
  if (outHeight != nullptr) {
    *outHeight = rows;
  }
  if ((bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) ||
      source == nullptr || destination == nullptr) {
    return;
  }

  PackRowFunction packRow = scalar::PackRow;
  switch (Usable(isa)) {
#if defined(QUORVEL_IMAGING_AVX2)
    case PixelIsa::kAvx2:
      packRow = avx2::PackRow;
      break;
#endif
#if defined(__SSE2__)
    case PixelIsa::kSse2:
      packRow = sse2::PackRow;
      break;
#endif
    default:
      break;
  }

  const std::ptrdiff_t sourcePitch = std::ptrdiff_t{width} * kWorkPixelBytes;
  const std::ptrdiff_t outPitch = std::ptrdiff_t{columns} * (bitsPerPixel / 8);
  if (stepX == 1 && stepY == 1) {
    // Rows follow one another directly on both sides: one long row.
    packRow(source, destination, std::ptrdiff_t{width} * height, 1,
            bitsPerPixel);
    return;
  }
  for (std::int32_t row = 0; row < rows; ++row) {
    packRow(source + std::ptrdiff_t{row} * stepY * sourcePitch,
            destination + row * outPitch, width, stepX, bitsPerPixel);
  }
}

}  // namespace imaging

void DemosaicBayer(const std::uint8_t* source, std::uint8_t* destination,
                   std::int32_t width, std::int32_t height,
                   std::int32_t sourcePitch, std::int32_t depth) {
  imaging::DemosaicBayerUsing(imaging::BestPixelIsa(), source, destination,
                              width, height, sourcePitch, depth);
}

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::int32_t width, std::int32_t height, std::int32_t depth) {
  imaging::ExpandMonoUsing(imaging::BestPixelIsa(), source, destination, width,
                           height, depth);
}

bool ConvertToWork(std::int32_t format, const std::uint8_t* pixels,
                   std::uint8_t* work, std::int32_t width,
                   std::int32_t height) {
  const PixelFormat* pixelFormat = FindPixelFormat(format);
  if (pixelFormat == nullptr) return false;
  switch (pixelFormat->layout) {
    case SampleLayout::kBayerGrbg:
      DemosaicBayer(pixels, work, width, height, width, pixelFormat->depth);
      return true;
    case SampleLayout::kGrey:
      ExpandMono(pixels, work, width, height, pixelFormat->depth);
      return true;
  }
  return false;
}

void DecimateAndPack(const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel, std::int32_t stepX,
                     std::int32_t* outWidth, std::int32_t stepY,
                     std::int32_t* outHeight) {
  imaging::DecimateAndPackUsing(imaging::BestPixelIsa(), source, destination,
                                width, height, bitsPerPixel, stepX, outWidth,
                                stepY, outHeight);
}

}  // namespace quorvel
