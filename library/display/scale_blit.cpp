#include "display/scale_blit.h"

#include <algorithm>
#include <cstring>

namespace quorvel::display {

namespace {

std::int32_t SourceIndex(std::int32_t at, std::int32_t sourceSize,
                         std::int32_t destSize) {
  return static_cast<std::int32_t>(std::int64_t{at} * sourceSize / destSize);
}

template <typename Pixel>
void ScaleRows(const Surface& source, const BlitGeometry& g, std::uint8_t* out,
               std::size_t outPitch, Pixel orBits,
               const std::vector<std::int32_t>& columns) {
  const std::int32_t width = g.drawnWidth();
  const std::int32_t height = g.drawnHeight();
  const bool unscaledRows = g.destWidth == g.sourceWidth && orBits == 0;
  for (std::int32_t y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const Pixel*>(
        source.row(SourceIndex(y, g.sourceHeight, g.destHeight)));
    auto* row = reinterpret_cast<Pixel*>(out + outPitch * std::size_t(y));
    if (unscaledRows) {
      std::memcpy(row, in, sizeof(Pixel) * static_cast<std::size_t>(width));
    } else if (g.destWidth == g.sourceWidth) {
      for (std::int32_t x = 0; x < width; ++x) {
        row[x] = static_cast<Pixel>(in[x] | orBits);
      }
    } else {
      for (std::int32_t x = 0; x < width; ++x) {
        row[x] = static_cast<Pixel>(in[columns[std::size_t(x)]] | orBits);
      }
    }
  }
}

}  // namespace

bool BlitGeometry::empty() const {
  return sourceWidth < 1 || sourceHeight < 1 || destWidth < 1 ||
         destHeight < 1 || clipWidth < 1 || clipHeight < 1;
}

std::int32_t BlitGeometry::drawnWidth() const {
  return empty() ? 0 : std::min(destWidth, clipWidth);
}

std::int32_t BlitGeometry::drawnHeight() const {
  return empty() ? 0 : std::min(destHeight, clipHeight);
}

void ScaleBlit(const Surface& source, const BlitGeometry& geometry,
               std::uint8_t* out, std::size_t outPitch, std::uint32_t orBits,
               std::vector<std::int32_t>& columns) {
  if (geometry.sourceWidth > source.width() ||
      geometry.sourceHeight > source.height() || out == nullptr) {
    return;
  }
  if (geometry.empty()) return;
  const std::int32_t width = geometry.drawnWidth();
  if (geometry.destWidth != geometry.sourceWidth) {
    columns.resize(static_cast<std::size_t>(width));
    for (std::int32_t x = 0; x < width; ++x) {
      columns[std::size_t(x)] =
          SourceIndex(x, geometry.sourceWidth, geometry.destWidth);
    }
  }
  if (source.bytesPerPixel() == 4) {
    ScaleRows<std::uint32_t>(source, geometry, out, outPitch, orBits, columns);
  } else {
    ScaleRows<std::uint16_t>(source, geometry, out, outPitch, 0, columns);
  }
}

}  // namespace quorvel::display
