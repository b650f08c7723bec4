// Virtual windows held in memory, for tests and benchmarks: the library
// draws into them exactly as into an X window of the same size and depth,
// and their pixels, presentations and liveness can be read back. Internal
// to the library; nothing here is exported from the shared library.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel::display {

// A window of width x height pixels (1 to 32767 each) with the depth of an
// X visual: 16 (5-6-5 pixels), 24 (BGRX, fourth byte kept as drawn) or 32
// (BGRA, the alpha byte forced to 0xFF as for an ARGB visual). Its id has
// bit 31 set; 0 when the arguments are refused. Pixels start black.
RvxWindow CreateMemoryWindow(std::int32_t width, std::int32_t height,
                             std::int32_t depth);
// The window stops being a window; false for an unknown id.
bool DestroyMemoryWindow(RvxWindow window);
// Simulates a backing that went away (a screen mode change): the next
// presentation finds it lost. False for an unknown or destroyed id.
bool LoseMemoryWindowBacking(RvxWindow window);

struct MemoryWindowState {
  bool alive = false;
  std::int32_t width = 0, height = 0, depth = 0;
  std::uint64_t framesPresented = 0;  // presentations that drew something
  std::int32_t binds = 0;             // bindings made to this window
  // Row-major pixel values: 16-bit for depth 16, 32-bit otherwise.
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * std::size_t(width) +
                  static_cast<std::size_t>(x)];
  }
};

// A copy of the window's state; empty for an unknown id.
std::optional<MemoryWindowState> ReadMemoryWindow(RvxWindow window);

}  // namespace quorvel::display
