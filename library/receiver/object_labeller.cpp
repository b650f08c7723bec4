#include "receiver/object_labeller.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "platform/cpu_features.h"
#include "receiver/motion_simd.h"

namespace quorvel {
namespace {

constexpr std::int32_t kMaxSide = std::numeric_limits<std::uint16_t>::max();

// One bit a pixel for 64 pixels: set where the value is exactly 0xFF.
QUORVEL_MOTION_INLINE std::uint64_t MovingBits(const std::uint8_t* p) {
  const __m128i moving = _mm_set1_epi8(static_cast<char>(0xFF));
  std::uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i v =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const auto m = static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(v, moving)));
    bits |= static_cast<std::uint64_t>(m) << (16 * k);
  }
  return bits;
}

// Appends the columns where the pixel value changes between moving and
// still. Changes alternate, so the output pairs up as (begin, end) runs
// without a branch per run.
QUORVEL_MOTION_INLINE void EmitEdges(std::uint64_t bits, std::int32_t x,
                                     std::uint64_t& carry,
                                     std::uint16_t*& out) {
  std::uint64_t changes = bits ^ ((bits << 1) | carry);
  carry = bits >> 63;
  while (changes != 0) {
    *out++ = static_cast<std::uint16_t>(x + __builtin_ctzll(changes));
    changes &= changes - 1;
  }
}

// Writes the runs of one row as edge pairs; returns the number of runs.
QUORVEL_MOTION_INLINE std::int32_t ExtractRuns(const std::uint8_t* row,
                                               std::int32_t width,
                                               std::uint16_t* edges) {
  std::uint16_t* out = edges;
  std::uint64_t carry = 0;
  std::int32_t x = 0;
  for (; x + 64 <= width; x += 64)
    EmitEdges(MovingBits(row + x), x, carry, out);
  if (x < width) {
    // The tail is copied so that no load reads past the image.
    alignas(16) std::uint8_t tail[64] = {};
    std::memcpy(tail, row + x, static_cast<std::size_t>(width - x));
    EmitEdges(MovingBits(tail), x, carry, out);
  }
  if (carry != 0) *out++ = static_cast<std::uint16_t>(width);
  return static_cast<std::int32_t>(out - edges) / 2;
}

QUORVEL_MOTION_INLINE std::int32_t FindRoot(std::int32_t* parent,
                                            std::int32_t run) {
  while (parent[run] != run) {
    const std::int32_t up = parent[parent[run]];
    parent[run] = up;
    run = up;
  }
  return run;
}

// Joins each run of the current row with the runs of the previous row that
// touch it, diagonals included. Roots always link to the smaller index, so
// every set's root is its first run in row-major order, i.e. its seed.
QUORVEL_MOTION_INLINE void JoinRows(const std::uint16_t* edges,
                                    std::int32_t prevFirst,
                                    std::int32_t curFirst, std::int32_t curEnd,
                                    std::int32_t* parent) {
  std::int32_t k = prevFirst;
  for (std::int32_t run = curFirst; run < curEnd; ++run) {
    const std::uint16_t begin = edges[2 * run];
    const std::uint16_t end = edges[2 * run + 1];
    // A previous run ending (exclusive) before `begin` cannot touch this
    // run nor any later one.
    while (k < curFirst && edges[2 * k + 1] < begin) ++k;
    std::int32_t root = run;
    for (std::int32_t touch = k; touch < curFirst && edges[2 * touch] <= end;
         ++touch) {
      const std::int32_t other = FindRoot(parent, touch);
      if (root == run) {
        root = other;
      } else if (other < root) {
        parent[root] = other;
        root = other;
      } else if (other > root) {
        parent[other] = root;
      }
    }
    parent[run] = root;
  }
}

// Returns the number of runs.
QUORVEL_MOTION_INLINE std::int32_t BuildRuns(
    const std::uint8_t* mask, std::int32_t width, std::int32_t height,
    std::uint16_t* edges, std::int32_t* rowRuns, std::int32_t* parent) {
  std::int32_t runs = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    rowRuns[y] = runs;
    const std::uint8_t* row = mask + static_cast<std::size_t>(y) * width;
    const std::int32_t end = runs + ExtractRuns(row, width, edges + 2 * runs);
    if (y > 0) {
      JoinRows(edges, rowRuns[y - 1], runs, end, parent);
    } else {
      for (std::int32_t run = 0; run < end; ++run) parent[run] = run;
    }
    runs = end;
  }
  rowRuns[height] = runs;
  return runs;
}

__attribute__((target("avx2"))) std::int32_t BuildRunsAvx2(
    const std::uint8_t* mask, std::int32_t width, std::int32_t height,
    std::uint16_t* edges, std::int32_t* rowRuns, std::int32_t* parent) {
  return BuildRuns(mask, width, height, edges, rowRuns, parent);
}

std::int32_t BuildRunsBaseline(const std::uint8_t* mask, std::int32_t width,
                               std::int32_t height, std::uint16_t* edges,
                               std::int32_t* rowRuns, std::int32_t* parent) {
  return BuildRuns(mask, width, height, edges, rowRuns, parent);
}

}  // namespace

void ObjectLabeller::Reserve(std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1) return;
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  // A row holds at most ceil(w/2) runs. A 2x2 block of pixels cannot hold
  // two 8-connected objects, which bounds the objects of a frame.
  const std::size_t maxRuns = h * ((w + 1) / 2);
  const std::size_t maxComponents = ((w + 1) / 2) * ((h + 1) / 2) + 1;
  runEdges_.Grow(2 * maxRuns);
  runComponent_.Grow(maxRuns);
  rowRuns_.Grow(h + 1);
  components_.Grow(maxComponents);
  componentLabel_.Grow(maxComponents);
}

bool ObjectLabeller::FindObjects(const std::uint8_t* mask,
                                 const std::int32_t* labels, std::int32_t width,
                                 std::int32_t height,
                                 std::int32_t minObjectSize) {
  // Columns and run ends are kept in 16 bits, counts and labels in 32.
  if (mask == nullptr || labels == nullptr || width < 1 || height < 1 ||
      width > kMaxSide || height > kMaxSide ||
      static_cast<std::int64_t>(width) * height >
          std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  Reserve(width, height);
  std::uint16_t* const edges = runEdges_.data();
  std::int32_t* const component = runComponent_.data();
  if (platform::CpuHasAvx2()) {
    BuildRunsAvx2(mask, width, height, edges, rowRuns_.data(), component);
  } else {
    BuildRunsBaseline(mask, width, height, edges, rowRuns_.data(), component);
  }

  // Flatten: in index order a run's parent is already resolved to its
  // component, and a root opens the next component, which numbers the
  // components in seed order.
  std::int32_t count = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    const auto row = static_cast<std::uint16_t>(y);
    for (std::int32_t run = rowRuns_[y]; run < rowRuns_[y + 1]; ++run) {
      const std::uint16_t begin = edges[2 * run];
      const std::uint16_t end = edges[2 * run + 1];
      const auto last = static_cast<std::uint16_t>(end - 1);
      // Branch-free: slot `count` is opened in case this run is a root
      // (roots come at random in a dense mask); a later root reuses it
      // otherwise. The array has one spare slot for this.
      const std::int32_t parent = component[run];
      const bool root = parent == run;
      components_[count] = Component{0, 0, 0, begin, last, row, row};
      const std::int32_t id = root ? count : component[parent];
      count += root ? 1 : 0;
      component[run] = id;
      Component& c = components_[id];
      const std::int32_t length = end - begin;
      c.count += length;
      // The sum of begin..end-1; (begin + last) * length is always even.
      c.sumX += static_cast<std::int64_t>(begin + last) * length / 2;
      c.sumY += static_cast<std::int64_t>(y) * length;
      c.minX = std::min(c.minX, begin);
      c.maxX = std::max(c.maxX, last);
      c.maxY = row;
    }
  }
  componentCount_ = count;

  firstBig_ = count;
  std::int32_t label = 0;
  for (std::int32_t id = 0; id < count; ++id) {
    if (components_[id].count >= minObjectSize) {
      componentLabel_[id] = ++label;
      if (firstBig_ == count) firstBig_ = id;
    } else {
      componentLabel_[id] = 0;
    }
  }
  reportCount_ = label;
  return true;
}

}  // namespace quorvel
