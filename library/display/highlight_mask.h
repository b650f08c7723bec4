// The mask that marks detected moving objects in a displayed frame.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "quorvel/quorvel.h"

namespace quorvel::display {

// The shown frame's objects and labels, and how it was decimated.
struct HighlightSource {
  std::int32_t select = -1;  // 0 every object, n object n
  std::int32_t objectCount = 0;
  const ObjectReport* objects = nullptr;
  const std::int32_t* labels = nullptr;  // one per image pixel, row-major
  std::int32_t imageWidth = 0, imageHeight = 0;
  std::int32_t stepX = 1, stepY = 1;
};

// Fills mask, width x height BGRX pixels, with white (255, 255, 255, 0) and
// marks red (0, 0, 255, 0) the displayed pixels of the selected objects.
// Displayed pixel (x, y) shows image pixel (x * stepX, y * stepY), so its
// label is read there; select n limits the marks to object n's bounding
// rectangle divided by the steps. A select beyond the count marks nothing.
void BuildHighlightMask(const HighlightSource& source, std::uint8_t* mask,
                        std::int32_t width, std::int32_t height);

// Turns a BGRX mask of width x height pixels into the target's pixel form,
// the way a 32-bit bitmap is drawn onto a screen-compatible one.
void LoadMask(Surface& target, const std::uint8_t* mask, std::int32_t width,
              std::int32_t height);

}  // namespace quorvel::display
