// The labeller's results: label map, erased mask and object reports.
#include <algorithm>
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
  // The rows that may hold labels before this pass; the rest are zero.
  LabelRows dirty;
};

// Row by row, the label map is written as alternating spans of zeros and
// labels; small components merge into the zero spans. Every span starts
// where the previous one ended, which lets short spans overshoot (a row's
// last zero span may spill zeros into the next rows, which are written
// after it or are zero anyway; label spans overshoot only within their
// row). A row without labels that is zero already is left
// as it is. Returns the number of runs listed for erasing later, and the
// rows that now hold labels through `labelled`.
QUORVEL_MOTION_INLINE std::int32_t WriteLabelMap(const LabelPass& pass,
                                                 std::uint8_t* mask,
                                                 std::int32_t* labels,
                                                 std::int32_t width,
                                                 std::int32_t height,
                                                 LabelRows& labelled) {
  const std::int32_t* const limit =
      labels + static_cast<std::size_t>(width) * height;
  std::int32_t late = 0;
  labelled = LabelRows{};
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t rowStart = static_cast<std::size_t>(y) * width;
    std::int32_t* const row = labels + rowStart;
    std::int32_t* gap = row;
    bool hasLabel = false;
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
      // Labels never spill past the row: near the map's end its last zero
      // span is written exactly and would leave them in a row below that
      // may be passed over as zero.
      motion_simd::FillIntsSpill(row + begin, row + end, row + width, label);
      gap = row + end;
      hasLabel = true;
    }
    if (hasLabel) {
      if (labelled.end == 0) labelled.begin = y;
      labelled.end = y + 1;
    } else if ((y < pass.dirty.begin || y >= pass.dirty.end) &&
               y < pass.dirty.unknownFrom) {
      continue;  // zero before, zero now
    }
    motion_simd::FillIntsSpill(gap, row + width, limit, 0);
  }
  return late;
}

__attribute__((target("avx2"))) std::int32_t WriteLabelMapAvx2(
    const LabelPass& pass, std::uint8_t* mask, std::int32_t* labels,
    std::int32_t width, std::int32_t height, LabelRows& labelled) {
  return WriteLabelMap(pass, mask, labels, width, height, labelled);
}

std::int32_t WriteLabelMapBaseline(const LabelPass& pass, std::uint8_t* mask,
                                   std::int32_t* labels, std::int32_t width,
                                   std::int32_t height, LabelRows& labelled) {
  return WriteLabelMap(pass, mask, labels, width, height, labelled);
}

}  // namespace

void ObjectLabeller::WriteLabels(std::uint8_t* mask, std::int32_t* labels,
                                 std::int32_t width, std::int32_t height,
                                 LabelRows* rows) {
  // Without a record of the rows, or with rows of another width, any row
  // may hold anything.
  LabelRows dirty;  // nothing known
  if (rows != nullptr && rows->width == width) dirty = *rows;
  const LabelPass pass{runEdges_.data(), runComponent_.data(), rowRuns_.data(),
                       componentLabel_.data(), firstBig_, dirty};
  LabelRows labelled;
  lateRunCount_ =
      platform::CpuHasAvx2()
          ? WriteLabelMapAvx2(pass, mask, labels, width, height, labelled)
          : WriteLabelMapBaseline(pass, mask, labels, width, height, labelled);
  if (rows == nullptr) return;
  // The rows below this frame were not visited: those that may have held
  // labels may still, as far as anyone knows.
  labelled.unknownFrom = std::max(dirty.unknownFrom, height);
  if (dirty.end > height) {
    labelled.unknownFrom =
        std::min(labelled.unknownFrom, std::max(dirty.begin, height));
  }
  labelled.width = width;
  *rows = labelled;
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
