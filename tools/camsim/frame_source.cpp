#include "frame_source.h"

#include <algorithm>

namespace camsim {
namespace {

struct Disc {
  std::int32_t x, y, radius;
};

// Three discs on closed paths, sized from the frame so every size shows
// something and each disc stays a separate object.
std::vector<Disc> DiscsAt(std::int32_t width, std::int32_t height,
                          std::uint32_t index) {
  const std::int32_t unit = std::max(1, std::min(width, height) / 12);
  std::vector<Disc> discs;
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t span = std::max(1, width - 4 * unit);
    const auto step = static_cast<std::int64_t>(index) * (3 + 2 * k);
    std::int32_t x = static_cast<std::int32_t>(step % (2 * span));
    if (x >= span) x = 2 * span - x;  // back and forth
    discs.push_back({2 * unit + x, (2 * k + 1) * height / 6, unit});
  }
  return discs;
}

template <typename Paint>
void ForEachPixel(std::int32_t width, std::int32_t height, std::uint32_t index,
                  Paint paint) {
  const std::vector<Disc> discs = DiscsAt(width, height, index);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      bool inside = false;
      for (const Disc& disc : discs) {
        const std::int64_t dx = x - disc.x, dy = y - disc.y;
        inside |= dx * dx + dy * dy <= std::int64_t{disc.radius} * disc.radius;
      }
      paint(x, y, inside);
    }
  }
}

}  // namespace

std::vector<std::uint8_t> RenderPicture(std::int32_t width, std::int32_t height,
                                        std::uint32_t index) {
  std::vector<std::uint8_t> pixels(
      static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0));
  ForEachPixel(
      width, height, index, [&](std::int32_t x, std::int32_t y, bool inside) {
        const auto shade =
            static_cast<std::uint8_t>((x + y) * 96 / (width + height) + 32);
        pixels[static_cast<std::size_t>(y) * width + x] = inside ? 240 : shade;
      });
  return pixels;
}

std::vector<std::uint8_t> RenderMask(std::int32_t width, std::int32_t height,
                                     std::uint32_t index) {
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(std::max(width, 0)) *
                                 std::max(height, 0));
  ForEachPixel(
      width, height, index, [&](std::int32_t x, std::int32_t y, bool inside) {
        mask[static_cast<std::size_t>(y) * width + x] = inside ? 0xFF : 0x00;
      });
  return mask;
}

std::vector<std::uint8_t> EncodeRuns(const std::vector<std::uint8_t>& mask) {
  std::vector<std::uint8_t> code;
  std::size_t at = 0;
  while (at < mask.size()) {
    const bool moving = mask[at] == 0xFF;
    std::size_t run = 1;
    while (run < 128 && at + run < mask.size() &&
           (mask[at + run] == 0xFF) == moving) {
      ++run;
    }
    code.push_back(
        static_cast<std::uint8_t>(((run - 1) << 1) | (moving ? 1 : 0)));
    at += run;
  }
  return code;
}

FrameRing::Body FrameRing::Get(std::int32_t width, std::int32_t height,
                               bool mask, std::uint32_t index) {
  if (width != width_ || height != height_ || mask != mask_ ||
      bodies_.empty()) {
    width_ = width;
    height_ = height;
    mask_ = mask;
    bodies_.clear();
    for (std::uint32_t i = 0; i < kLength; ++i) {
      bodies_.push_back(std::make_shared<const std::vector<std::uint8_t>>(
          mask ? EncodeRuns(RenderMask(width, height, i))
               : RenderPicture(width, height, i)));
    }
  }
  return bodies_[index % kLength];
}

}  // namespace camsim
