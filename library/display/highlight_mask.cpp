#include "display/highlight_mask.h"

#include <algorithm>
#include <cstring>

namespace quorvel::display {

namespace {

constexpr std::uint8_t kWhite[4] = {255, 255, 255, 0};
constexpr std::uint8_t kRed[4] = {0, 0, 255, 0};

class MaskMarker {
 public:
  MaskMarker(const HighlightSource& source, std::uint8_t* mask,
             std::int32_t width, std::int32_t height)
      : source_(source),
        mask_(mask),
        width_(width),
        // Displayed pixels past the frame's own size show no image pixel,
        // so they carry no label.
        columns_(std::min<std::int64_t>(
            width, (std::int64_t{source.imageWidth} + source.stepX - 1) /
                       source.stepX)),
        rows_(std::min<std::int64_t>(
            height, (std::int64_t{source.imageHeight} + source.stepY - 1) /
                        source.stepY)) {}

  // Marks pixels of rows [top, bottom] and columns [left, right] whose
  // label passes keep.
  template <typename Keep>
  void Mark(std::int64_t left, std::int64_t top, std::int64_t right,
            std::int64_t bottom, Keep keep) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, columns_ - 1);
    bottom = std::min<std::int64_t>(bottom, rows_ - 1);
    for (std::int64_t y = top; y <= bottom; ++y) {
      const std::int32_t* labelRow =
          source_.labels + y * source_.stepY * source_.imageWidth;
      std::uint8_t* maskRow = mask_ + y * width_ * 4;
      for (std::int64_t x = left; x <= right; ++x) {
        if (keep(labelRow[x * source_.stepX])) {
          std::memcpy(maskRow + x * 4, kRed, sizeof kRed);
        }
      }
    }
  }

  std::int64_t columns() const { return columns_; }
  std::int64_t rows() const { return rows_; }

 private:
  const HighlightSource& source_;
  std::uint8_t* const mask_;
  const std::int64_t width_;
  const std::int64_t columns_;
  const std::int64_t rows_;
};

}  // namespace

void BuildHighlightMask(const HighlightSource& source, std::uint8_t* mask,
                        std::int32_t width, std::int32_t height) {
  if (mask == nullptr || width < 1 || height < 1) return;
  const std::size_t pixels =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < pixels; ++i) {
    std::memcpy(mask + 4 * i, kWhite, sizeof kWhite);
  }
  if (source.labels == nullptr || source.stepX < 1 || source.stepY < 1 ||
      source.imageWidth < 1 || source.imageHeight < 1) {
    return;
  }
  MaskMarker marker(source, mask, width, height);
  if (source.select == 0) {
    marker.Mark(0, 0, marker.columns() - 1, marker.rows() - 1,
                [](std::int32_t label) { return label > 0; });
    return;
  }
  if (source.select < 1 || source.select > source.objectCount ||
      source.objects == nullptr) {
    return;
  }
  const ObjectReport& object = source.objects[source.select - 1];
  const std::int32_t wanted = source.select;
  marker.Mark(object.minX / source.stepX, object.minY / source.stepY,
              object.maxX / source.stepX, object.maxY / source.stepY,
              [wanted](std::int32_t label) { return label == wanted; });
}

void LoadMask(Surface& target, const std::uint8_t* mask, std::int32_t width,
              std::int32_t height) {
  if (mask == nullptr) return;
  width = std::clamp(width, 0, target.width());
  height = std::clamp(height, 0, target.height());
  const std::size_t maskPitch = static_cast<std::size_t>(width) * 4;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = mask + maskPitch * static_cast<std::size_t>(y);
    std::uint8_t* out = target.row(y);
    if (target.bytesPerPixel() == 4) {
      std::memcpy(out, in, maskPitch);
      continue;
    }
    for (std::int32_t x = 0; x < width; ++x, in += 4) {
      const auto packed = static_cast<std::uint16_t>(
          (in[2] >> 3) << 11 | (in[1] >> 2) << 5 | (in[0] >> 3));
      std::memcpy(out + 2 * x, &packed, 2);
    }
  }
}

}  // namespace quorvel::display
