// The pixel formats a frame can come in. The frame size, the conversion into
// a work image and the exports all read this one table, so a format is
// described in one place.
#pragma once

#include <cstdint>

#include "quorvel/quorvel.h"

namespace quorvel {

// How a format's samples become a work image.
enum class SampleLayout : std::uint8_t {
  kBayerGrbg,  // colour mosaic, demosaiced
  kGrey,       // monochrome, expanded to grey
};

struct PixelFormat {
  std::int32_t code;           // RVX_FORMAT_*
  std::int32_t bytesPerPixel;  // in a frame body
  std::int32_t depth;          // significant bits the conversion keeps 8 of
  SampleLayout layout;
};

// The table entry of a format code, or null for a code that names none.
const PixelFormat* FindPixelFormat(std::int32_t code);

}  // namespace quorvel
