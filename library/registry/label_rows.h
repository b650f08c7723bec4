// What a frame slot remembers of its label map between frames.
#pragma once

#include <cstdint>

namespace quorvel {

// The rows of a label map, laid out `width` entries a row, that may hold a
// label: [begin, end), and every row from unknownFrom on (rows below the
// frames labelled so far, or a map of another width, are not known). Every
// other row is all zeros. Kept beside a map that is labelled frame after
// frame, it spares rewriting the rows that are zero and stay so; a fresh
// LabelRows knows nothing, so the first frame writes every row.
struct LabelRows {
  std::int32_t begin = 0;
  std::int32_t end = 0;
  std::int32_t unknownFrom = 0;
  std::int32_t width = 0;
};

}  // namespace quorvel
