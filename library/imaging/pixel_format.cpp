#include "imaging/pixel_format.h"

namespace quorvel {
namespace {

constexpr PixelFormat kPixelFormats[] = {
    {RVX_FORMAT_BAYER_GRBG10, 2, 10, SampleLayout::kBayerGrbg},
    {RVX_FORMAT_MONO8, 1, 8, SampleLayout::kGrey},
};

}  // namespace

const PixelFormat* FindPixelFormat(std::int32_t code) {
  for (const PixelFormat& format : kPixelFormats) {
    if (format.code == code) return &format;
  }
  return nullptr;
}

}  // namespace quorvel
