// One frame buffer with the objects and labels found in it.
#pragma once

#include <cstdint>
#include <memory>

#include "quorvel/quorvel.h"
#include "registry/label_rows.h"

namespace quorvel {

struct FrameSlot {
  std::int32_t width = 0;   // width of the frame held, in pixels
  std::int32_t height = 0;  // number of lines held
  // The frame size of the connection; null where not allocated.
  std::unique_ptr<std::uint8_t[]> pixels;
  std::int32_t objectCount = 0;  // entries of objects that count
  std::unique_ptr<ObjectReport[]> objects;
  // One label per image pixel for this slot's frame. Travelling with the
  // slot, the labels the display reads are never those being rewritten for
  // the next frame.
  std::unique_ptr<std::int32_t[]> labels;
  // Which rows of labels may be non-zero, so that labelling the next frame
  // into them leaves the zero rows alone.
  LabelRows labelRows;
};

}  // namespace quorvel
