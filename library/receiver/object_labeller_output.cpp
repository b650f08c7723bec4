// The labeller's results: label map, erased mask and object reports.
#include <cstddef>

#include "platform/cpu_features.h"
#include "receiver/motion_simd.h"
#include "receiver/object_labeller.h"

namespace quorvel {
namespace {

struct LabelPass {
  // Read in row order; entries already passed are reused to list the small
  // objects found after the first big one, to be erased after the alarm:
  // the mask offset of each of their runs in `component`, the length in
  // `edges`.
  std::uint16_t* edges;
  std::int32_t* component;
  const std::int32_t* rowRuns;
  const std::int32_t* labelOf;  // label of each component, 0 when small
  std::int32_t firstBig;
};

// Row by row, the label map is written as alternating spans of zeros and
// labels; small components merge into the zero spans. Every span starts
// where the previous one ended, which lets short spans overshoot. Returns
// the number of runs listed for erasing later.
QUORVEL_MOTION_INLINE std::int32_t WriteLabelMap(const LabelPass& pass,
                                                 std::uint8_t* mask,
                                                 std::int32_t* labels,
                                                 std::int32_t width,
                                                 std::int32_t height) {
  const std::int32_t* const limit =
      labels + static_cast<std::size_t>(width) * height;
  std::int32_t late = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t rowStart = static_cast<std::size_t>(y) * width;
    std::int32_t* const row = labels + rowStart;
    std::int32_t* gap = row;
    for (std::int32_t run = pass.rowRuns[y]; run < pass.rowRuns[y + 1]; ++run) {
      const std::uint16_t begin = pass.edges[2 * run];
      const std::uint16_t end = pass.edges[2 * run + 1];
      const std::int32_t id = pass.component[run];
      const std::int32_t label = pass.labelOf[id];
      if (label == 0) {
        // Only the small objects a flood fill meets before the first big
        // one are gone when the alarm is raised.
        if (id < pass.firstBig) {
          motion_simd::FillBytesExact(mask + rowStart + begin, end - begin, 0);
        } else {
          pass.component[late] = static_cast<std::int32_t>(rowStart + begin);
          pass.edges[late] = static_cast<std::uint16_t>(end - begin);
          ++late;
        }
        continue;
      }
      motion_simd::FillIntsSpill(gap, row + begin, limit, 0);
      motion_simd::FillIntsSpill(row + begin, row + end, limit, label);
      gap = row + end;
    }
    motion_simd::FillIntsSpill(gap, row + width, limit, 0);
  }
  return late;
}

__attribute__((target("avx2"))) std::int32_t WriteLabelMapAvx2(
    const LabelPass& pass, std::uint8_t* mask, std::int32_t* labels,
    std::int32_t width, std::int32_t height) {
  return WriteLabelMap(pass, mask, labels, width, height);
}

std::int32_t WriteLabelMapBaseline(const LabelPass& pass, std::uint8_t* mask,
                                   std::int32_t* labels, std::int32_t width,
                                   std::int32_t height) {
  return WriteLabelMap(pass, mask, labels, width, height);
}

}  // namespace

void ObjectLabeller::WriteLabels(std::uint8_t* mask, std::int32_t* labels,
                                 std::int32_t width, std::int32_t height) {
  const LabelPass pass{runEdges_.data(), runComponent_.data(), rowRuns_.data(),
                       componentLabel_.data(), firstBig_};
  lateRunCount_ =
      platform::CpuHasAvx2()
          ? WriteLabelMapAvx2(pass, mask, labels, width, height)
          : WriteLabelMapBaseline(pass, mask, labels, width, height);
}

void ObjectLabeller::EraseLateSmallObjects(std::uint8_t* mask) {
  for (std::int32_t k = 0; k < lateRunCount_; ++k) {
    motion_simd::FillBytesExact(mask + runComponent_[k], runEdges_[k], 0);
  }
}

void ObjectLabeller::AppendReports(std::vector<ObjectReport>& objects) const {
  objects.reserve(objects.size() + static_cast<std::size_t>(reportCount_));
  for (std::int32_t id = firstBig_; id < componentCount_; ++id) {
    const std::int32_t label = componentLabel_[id];
    if (label == 0) continue;
    const Component& c = components_[id];
    objects.push_back(ObjectReport{
        label, c.count, static_cast<double>(c.sumX) / c.count,
        static_cast<double>(c.sumY) / c.count, c.minX, c.minY, c.maxX, c.maxY});
  }
}

}  // namespace quorvel
