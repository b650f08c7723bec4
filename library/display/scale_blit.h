// The scaled copy of the off-screen surface into a window's pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/surface.h"

namespace quorvel::display {

// What one presentation draws: the surface's top-left source x source
// pixels stretched onto the destination rectangle at the window's top-left,
// of which only the part inside the window is drawn.
struct BlitGeometry {
  std::int32_t sourceWidth = 0, sourceHeight = 0;
  std::int32_t destWidth = 0, destHeight = 0;  // before clipping
  std::int32_t clipWidth = 0, clipHeight = 0;  // the window's size

  // True when any size is below 1: nothing is drawn.
  bool empty() const;
  // The drawn part.
  std::int32_t drawnWidth() const;
  std::int32_t drawnHeight() const;
};

// Nearest-sample scaling: destination pixel (x, y) takes source pixel
// (x * sourceWidth / destWidth, y * sourceHeight / destHeight), rounded
// down, the same top-left rule the decimation follows. Writes
// drawnWidth() x drawnHeight() pixels of the surface's size into out (rows
// outPitch bytes apart), OR-ing orBits into every 32-bit pixel. columns is
// scratch space kept by the caller so a frame allocates nothing.
void ScaleBlit(const Surface& source, const BlitGeometry& geometry,
               std::uint8_t* out, std::size_t outPitch, std::uint32_t orBits,
               std::vector<std::int32_t>& columns);

}  // namespace quorvel::display
