// The labeller's results: label map, erased mask and object reports.
#include <cstddef>

#include "receiver/motion_simd.h"
#include "receiver/object_labeller.h"

namespace quorvel {
namespace {

struct LabelPass {
  const std::uint16_t* edges;
  const std::int32_t* rowRuns;
  const std::int32_t* component;  // component of each run
  const std::int32_t* labelOf;    // label of each component, 0 when small
  std::int32_t firstBig;
};

// Row by row, the label map is written as alternating spans of zeros and
// labels; small components merge into the zero spans. Every span starts
// where the previous one ended, which lets short spans overshoot.
QUORVEL_MOTION_INLINE void WriteLabelMap(const LabelPass& pass,
                                         std::uint8_t* mask,
                                         std::int32_t* labels,
                                         std::int32_t width,
                                         std::int32_t height) {
  const std::int32_t* const limit =
      labels + static_cast<std::size_t>(width) * height;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t rowStart = static_cast<std::size_t>(y) * width;
    std::int32_t* const row = labels + rowStart;
    std::uint8_t* const maskRow = mask + rowStart;
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
          motion_simd::FillBytesExact(maskRow + begin, end - begin, 0);
        }
        continue;
      }
      motion_simd::FillIntsSpill(gap, row + begin, limit, 0);
      motion_simd::FillIntsSpill(row + begin, row + end, limit, label);
      gap = row + end;
    }
    motion_simd::FillIntsSpill(gap, row + width, limit, 0);
  }
}

__attribute__((target("avx2"))) void WriteLabelMapAvx2(const LabelPass& pass,
                                                       std::uint8_t* mask,
                                                       std::int32_t* labels,
                                                       std::int32_t width,
                                                       std::int32_t height) {
  WriteLabelMap(pass, mask, labels, width, height);
}

void WriteLabelMapBaseline(const LabelPass& pass, std::uint8_t* mask,
                           std::int32_t* labels, std::int32_t width,
                           std::int32_t height) {
  WriteLabelMap(pass, mask, labels, width, height);
}

}  // namespace

void ObjectLabeller::WriteLabels(std::uint8_t* mask, std::int32_t* labels,
                                 std::int32_t width, std::int32_t height) {
  const LabelPass pass{runEdges_.data(), rowRuns_.data(), runComponent_.data(),
                       componentLabel_.data(), firstBig_};
  if (motion_simd::UseAvx2()) {
    WriteLabelMapAvx2(pass, mask, labels, width, height);
  } else {
    WriteLabelMapBaseline(pass, mask, labels, width, height);
  }
}

void ObjectLabeller::EraseLateSmallObjects(std::uint8_t* mask,
                                           std::int32_t width,
                                           std::int32_t height) {
  if (!smallAfterFirstBig_) return;
  // Components after the first big one start, and so lie, below its seed.
  for (std::int32_t y = components_[firstBig_].minY; y < height; ++y) {
    std::uint8_t* const maskRow = mask + static_cast<std::size_t>(y) * width;
    for (std::int32_t run = rowRuns_[y]; run < rowRuns_[y + 1]; ++run) {
      const std::int32_t id = runComponent_[run];
      if (id > firstBig_ && componentLabel_[id] == 0) {
        const std::uint16_t begin = runEdges_[2 * run];
        const std::uint16_t end = runEdges_[2 * run + 1];
        motion_simd::FillBytesExact(maskRow + begin, end - begin, 0);
      }
    }
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
