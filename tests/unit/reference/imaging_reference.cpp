#include "reference/imaging_reference.h"

#include <cstddef>
#include <limits>

namespace quorvel::reference {
namespace {

std::uint8_t* Pixel(std::uint8_t* image, std::int32_t width, std::int32_t y,
                    std::int32_t x) {
  return image + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
}

}  // namespace

std::int32_t FrameByteSize(std::int32_t width, std::int32_t height,
                           std::int32_t formatCode) {
  const std::int16_t width16 = static_cast<std::int16_t>(width & 0xFFFF);
  const std::int16_t height16 = static_cast<std::int16_t>(height & 0xFFFF);
  const std::int64_t product = std::int64_t(width16) * std::int64_t(height16);
  std::int64_t bytes = 0;
  if (formatCode == 52) {
    bytes = 2 * product;
  } else if (formatCode == 53) {
    bytes = product;
  }
  // The one case beyond 32 bits, 2 x 32768 x 32768, wraps.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes));
}

std::int32_t CeilDivide(std::int32_t a, std::int32_t b) {
  if (b == 0) {
    return 0;
  }
  std::int64_t q = (std::int64_t(a) + std::int64_t(b) - 1) / std::int64_t(b);
  if (q > std::numeric_limits<std::int32_t>::max()) {
    q = std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(q);
}

bool ChooseDecimationStep(std::int32_t size, std::int32_t limit,
                          std::int32_t* step, std::int32_t* displaySize) {
  if (size < 1 || limit < 1 || step == nullptr || displaySize == nullptr) {
    return false;
  }
  std::int32_t s = 1;
  if (size > limit) {
    while (size / s > limit) {
      s = s + 1;
    }
  }
  *step = s;
  *displaySize = CeilDivide(size, s);
  return true;
}

void DemosaicBayer(const std::uint8_t* source, std::uint8_t* destination,
                   std::int32_t width, std::int32_t height,
                   std::int32_t sourcePitch, std::int32_t depth) {
  if (depth != 8 && depth != 10 && depth != 12) {
    return;
  }
  if (source == nullptr || destination == nullptr || width < 1 || height < 1 ||
      sourcePitch < width) {
    return;
  }
  const int k = depth - 8;
  auto s = [&](std::int32_t y, std::int32_t x) -> std::uint32_t {
    const std::size_t index = std::size_t(y) * std::size_t(sourcePitch) + x;
    if (depth == 8) {
      return source[index];
    }
    return source[2 * index] + 256u * source[2 * index + 1];
  };

  for (std::int32_t y = 0; y < height; ++y) {
    for (int byte = 0; byte < 3; ++byte) {
      Pixel(destination, width, y, 0)[byte] = 0;
      Pixel(destination, width, y, width - 1)[byte] = 0;
    }
  }
  for (std::int32_t x = 0; x < width; ++x) {
    for (int byte = 0; byte < 3; ++byte) {
      Pixel(destination, width, 0, x)[byte] = 0;
      Pixel(destination, width, height - 1, x)[byte] = 0;
    }
  }

  for (std::int32_t y = 1; y <= height - 2; ++y) {
    for (std::int32_t x = 1; x <= width - 2; ++x) {
      const std::uint32_t own = s(y, x);
      const std::uint32_t h = s(y, x - 1) + s(y, x + 1);
      const std::uint32_t v = s(y - 1, x) + s(y + 1, x);
      const std::uint32_t p = h + v;
      const std::uint32_t d =
          s(y - 1, x - 1) + s(y - 1, x + 1) + s(y + 1, x - 1) + s(y + 1, x + 1);
      auto pair = [k](std::uint32_t sum) { return (sum >> 1) >> k; };
      auto four = [k](std::uint32_t sum) { return (sum >> 2) >> k; };
      std::uint32_t blue = 0;
      std::uint32_t green = 0;
      std::uint32_t red = 0;
      if (y % 2 == 0 && x % 2 == 0) {
        blue = pair(v);
        green = own >> k;
        red = pair(h);
      } else if (y % 2 == 0 && x % 2 == 1) {
        blue = four(d);
        green = four(p);
        red = own >> k;
      } else if (y % 2 == 1 && x % 2 == 0) {
        blue = own >> k;
        green = four(p);
        red = four(d);
      } else {
        blue = pair(h);
        green = own >> k;
        red = pair(v);
      }
      std::uint8_t* out = Pixel(destination, width, y, x);
      out[0] = static_cast<std::uint8_t>(blue & 0xFF);
      out[1] = static_cast<std::uint8_t>(green & 0xFF);
      out[2] = static_cast<std::uint8_t>(red & 0xFF);
    }
  }
}

void ExpandMono(const std::uint8_t* source, std::uint8_t* destination,
                std::int32_t width, std::int32_t height, std::int32_t depth) {
  if ((depth != 8 && depth != 10) || source == nullptr ||
      destination == nullptr || width < 1 || height < 1) {
    return;
  }
  const std::size_t count = std::size_t(width) * std::size_t(height);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t grey = 0;
    if (depth == 8) {
      grey = source[i];
    } else {
      const std::uint16_t sample =
          static_cast<std::uint16_t>(source[2 * i] + 256 * source[2 * i + 1]);
      grey = static_cast<std::uint8_t>((sample >> 2) & 0xFF);
    }
    destination[4 * i + 0] = grey;
    destination[4 * i + 1] = grey;
    destination[4 * i + 2] = grey;
    destination[4 * i + 3] = 0;
  }
}

void DecimateAndPack(const std::uint8_t* source, std::uint8_t* destination,
                     std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel, std::int32_t stepX,
                     std::int32_t* outWidth, std::int32_t stepY,
                     std::int32_t* outHeight) {
  if (width < 1 || height < 1 || stepX < 1 || stepY < 1) {
    return;
  }
  const std::int32_t outW = CeilDivide(width, stepX);
  const std::int32_t outH = CeilDivide(height, stepY);
  if (outWidth != nullptr) {
    *outWidth = outW;
  }
  if (outHeight != nullptr) {
    *outHeight = outH;
  }
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
    return;
  }
  if (source == nullptr || destination == nullptr) {
    return;
  }
  const std::size_t bytes = std::size_t(bitsPerPixel / 8);
  for (std::int32_t y = 0; y < height; ++y) {
    if (y % stepY != 0) {
      continue;
    }
    for (std::int32_t x = 0; x < width; ++x) {
      if (x % stepX != 0) {
        continue;
      }
      const std::uint8_t* in =
          source + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
      const std::size_t index =
          std::size_t(y / stepY) * std::size_t(outW) + std::size_t(x / stepX);
      std::uint8_t* out = destination + index * bytes;
      const std::uint32_t b = in[0];
      const std::uint32_t g = in[1];
      const std::uint32_t r = in[2];
      if (bitsPerPixel == 16) {
        const std::uint32_t value = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        out[0] = static_cast<std::uint8_t>(value & 0xFF);
        out[1] = static_cast<std::uint8_t>(value >> 8);
      } else if (bitsPerPixel == 24) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      } else {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = in[3];
      }
    }
  }
}

}  // namespace quorvel::reference
