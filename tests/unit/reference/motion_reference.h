// Plain restatements of the motion-mask routines, written for clarity and
// used as the oracle for the optimised ones.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel::reference {

// Byte by byte: one run a code byte, cut at the image end.
std::int32_t DecodeMotionMask(const std::uint8_t* code, std::int32_t codeBytes,
                              std::uint8_t* target, std::int32_t width,
                              std::int32_t height);

// The buffers a receiver keeps from frame to frame.
struct LabelWork {
  std::vector<std::uint8_t> visited;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> queue;
};

// Breadth-first flood fill from each unvisited moving pixel in row-major
// order, with the alarm raised inside the fill as described for the
// receiver. Null pointers or a dimension below 1 leave everything as is.
void LabelMovingObjects(LabelWork& work, std::uint8_t* mask,
                        std::int32_t* labels, std::int32_t width,
                        std::int32_t height, std::int32_t minObjectSize,
                        std::vector<ObjectReport>& objects,
                        const std::function<void(std::uint8_t*)>& alarm);

}  // namespace quorvel::reference
