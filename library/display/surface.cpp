#include "display/surface.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/allocate.h"

namespace quorvel::display {

namespace {

// The part of a width x height operation that lies inside every surface
// it touches; negative sizes give nothing.
struct Extent {
  std::int32_t width;
  std::int32_t height;
};

Extent Clip(const Surface& a, std::int32_t width, std::int32_t height) {
  return {std::clamp(width, 0, a.width()), std::clamp(height, 0, a.height())};
}

Extent Clip(const Surface& a, const Surface& b, std::int32_t width,
            std::int32_t height) {
  const Extent first = Clip(a, width, height);
  return Clip(b, first.width, first.height);
}

template <typename Pixel, typename Op>
void ForEachRow(Surface& target, const Surface* source, Extent extent, Op op) {
  for (std::int32_t y = 0; y < extent.height; ++y) {
    auto* out = reinterpret_cast<Pixel*>(target.row(y));
    const Pixel* in =
        source ? reinterpret_cast<const Pixel*>(source->row(y)) : nullptr;
    for (std::int32_t x = 0; x < extent.width; ++x) op(out[x], in ? in[x] : 0);
  }
}

template <typename Op>
void ForEachPixel(Surface& target, const Surface* source, Extent extent,
                  Op op) {
  if (target.bytesPerPixel() == 4) {
    ForEachRow<std::uint32_t>(target, source, extent, op);
  } else {
    ForEachRow<std::uint16_t>(target, source, extent, op);
  }
}

}  // namespace

std::unique_ptr<Surface> Surface::Create(std::int32_t width,
                                         std::int32_t height,
                                         std::int32_t bitsPerPixel) {
  if (width < 1 || height < 1 || (bitsPerPixel != 16 && bitsPerPixel != 32)) {
    return nullptr;
  }
  auto surface = std::make_unique<Surface>();
  surface->width_ = width;
  surface->height_ = height;
  surface->bytesPerPixel_ = bitsPerPixel / 8;
  surface->pixels_ = platform::TryAllocate<std::uint8_t>(
      surface->pitch() * static_cast<std::size_t>(height));
  return surface->pixels_ != nullptr ? std::move(surface) : nullptr;
}

void LoadBits(Surface& target, const std::uint8_t* bits, std::int32_t width,
              std::int32_t height) {
  if (bits == nullptr) return;
  // The bits keep their own row length: a frame narrower than the bitmap
  // fills the left of each row instead of running on into the next one.
  const std::size_t sourcePitch =
      static_cast<std::size_t>(std::max(width, 0)) *
      static_cast<std::size_t>(target.bytesPerPixel());
  const Extent extent = Clip(target, width, height);
  const std::size_t rowBytes = static_cast<std::size_t>(extent.width) *
                               static_cast<std::size_t>(target.bytesPerPixel());
  for (std::int32_t y = 0; y < extent.height; ++y) {
    std::memcpy(target.row(y), bits + sourcePitch * static_cast<std::size_t>(y),
                rowBytes);
  }
}

void CopyPixels(Surface& target, const Surface& source, std::int32_t width,
                std::int32_t height) {
  if (target.bytesPerPixel() != source.bytesPerPixel()) return;
  const Extent extent = Clip(target, source, width, height);
  const std::size_t rowBytes = static_cast<std::size_t>(extent.width) *
                               static_cast<std::size_t>(target.bytesPerPixel());
  for (std::int32_t y = 0; y < extent.height; ++y) {
    std::memcpy(target.row(y), source.row(y), rowBytes);
  }
}

void XorPixels(Surface& target, const Surface& source, std::int32_t width,
               std::int32_t height) {
  if (target.bytesPerPixel() != source.bytesPerPixel()) return;
  const std::uint32_t colour = target.colourBits();
  ForEachPixel(target, &source, Clip(target, source, width, height),
               [colour](auto& out, auto in) {
                 out = static_cast<std::remove_reference_t<decltype(out)>>(
                     out ^ (in & colour));
               });
}

void InvertPixels(Surface& target, std::int32_t width, std::int32_t height) {
  const std::uint32_t colour = target.colourBits();
  ForEachPixel(
      target, nullptr, Clip(target, width, height), [colour](auto& out, auto) {
        out = static_cast<std::remove_reference_t<decltype(out)>>(out ^ colour);
      });
}

void ScrollPixels(Surface& target, std::int64_t dx, std::int64_t dy) {
  const std::int64_t width = target.width();
  const std::int64_t height = target.height();
  if (dx == 0 && dy == 0) return;
  if (dx <= -width || dx >= width || dy <= -height || dy >= height) return;
  // Source columns [fromX, fromX + spanX) land at [toX, ...); rows likewise.
  const std::int64_t spanX = width - (dx < 0 ? -dx : dx);
  const std::int64_t spanY = height - (dy < 0 ? -dy : dy);
  const std::int64_t fromX = dx < 0 ? -dx : 0;
  const std::int64_t toX = dx < 0 ? 0 : dx;
  const std::int64_t fromY = dy < 0 ? -dy : 0;
  const std::int64_t toY = dy < 0 ? 0 : dy;
  const std::size_t bytes = static_cast<std::size_t>(target.bytesPerPixel());
  const std::size_t spanBytes = static_cast<std::size_t>(spanX) * bytes;
  auto move = [&](std::int64_t i) {
    std::memmove(target.row(static_cast<std::int32_t>(toY + i)) +
                     static_cast<std::size_t>(toX) * bytes,
                 target.row(static_cast<std::int32_t>(fromY + i)) +
                     static_cast<std::size_t>(fromX) * bytes,
                 spanBytes);
  };
  // Rows are visited in the order that reads each before it is written.
  if (dy > 0) {
    for (std::int64_t i = spanY - 1; i >= 0; --i) move(i);
  } else {
    for (std::int64_t i = 0; i < spanY; ++i) move(i);
  }
}

}  // namespace quorvel::display
