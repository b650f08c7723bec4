// Grouping of a motion mask's moving pixels into reported objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "quorvel/quorvel.h"
#include "registry/label_rows.h"

namespace quorvel {

static_assert(sizeof(ObjectReport) == 40, "ObjectReport is shared with C");
static_assert(offsetof(ObjectReport, meanX) == 8 &&
                  offsetof(ObjectReport, minX) == 24 &&
                  offsetof(ObjectReport, maxY) == 36,
              "ObjectReport fields are back to back");

// Labels the moving pixels (value 0xFF; every other value is still) of one
// mask image into 8-connected objects. The result is the one a breadth-first
// flood fill in row-major seed order would give: objects are numbered 1, 2,
// ... in the order of their first pixel, objects of fewer than the minimum
// size are erased from the mask (set to 0x00) and give up their number, and
// the means are the exact pixel sums divided by the pixel count.
//
// Internally the mask is reduced to runs that are joined with union-find;
// the work buffers are sized once for a frame size and reused, so a frame
// costs no allocation. One labeller serves one receiver thread.
class ObjectLabeller {
 public:
  ObjectLabeller() = default;
  // Sizes the work buffers for frames of up to width x height pixels.
  ObjectLabeller(std::int32_t width, std::int32_t height) {
    Reserve(width, height);
  }
  ObjectLabeller(const ObjectLabeller&) = delete;
  ObjectLabeller& operator=(const ObjectLabeller&) = delete;

  // Grows the work buffers to hold a width x height frame (may throw
  // std::bad_alloc); frames that already fit cost nothing.
  void Reserve(std::int32_t width, std::int32_t height);

  // Labels `mask` (width x height bytes, row-major) into `labels` (width x
  // height entries, caller-owned, every entry rewritten: 0 or the label of a
  // reported object) and appends the objects of at least `minObjectSize`
  // pixels to `objects` in label order. Objects below the minimum are erased
  // from the mask.
  //
  // With `rows`, the map's rows outside them are taken to be zero already
  // and are left as they are when they stay so, and `rows` is updated; a map
  // that is all zeros starts with an empty LabelRows.
  //
  // `alarm(std::uint8_t* mask)` is called at most once, when the first object
  // of at least the minimum size is found and before any object is appended.
  // At that moment the mask shows exactly what a flood fill would show while
  // filling that object: the small objects found before it are erased, the
  // later ones not yet. The labels are then unspecified. The alarm must not
  // change the mask.
  //
  // Invalid arguments (null pointers, a dimension below 1 or above 65535, a
  // frame of 2^31 pixels or more) leave everything untouched.
  template <typename Alarm>
  void LabelMovingObjects(std::uint8_t* mask, std::int32_t* labels,
                          std::int32_t width, std::int32_t height,
                          std::int32_t minObjectSize,
                          std::vector<ObjectReport>& objects, Alarm&& alarm,
                          LabelRows* rows = nullptr) {
    if (!FindObjects(mask, labels, width, height, minObjectSize)) return;
    WriteLabels(mask, labels, width, height, rows);
    if (firstBig_ < componentCount_) {
      std::forward<Alarm>(alarm)(mask);
      EraseLateSmallObjects(mask);
    }
    AppendReports(objects);
  }

 private:
  struct Component {
    std::int64_t sumX;
    std::int64_t sumY;
    std::int32_t count;
    std::uint16_t minX, maxX, minY, maxY;
  };
  static_assert(sizeof(Component) == 32, "two components a cache line");

  // Builds runs, components and their statistics; false for invalid input.
  bool FindObjects(const std::uint8_t* mask, const std::int32_t* labels,
                   std::int32_t width, std::int32_t height,
                   std::int32_t minObjectSize);
  // Writes the label map (every row, or those `rows` says may differ),
  // erases the small components found before the first big one and lists
  // the runs of those found after it.
  void WriteLabels(std::uint8_t* mask, std::int32_t* labels, std::int32_t width,
                   std::int32_t height, LabelRows* rows);
  void EraseLateSmallObjects(std::uint8_t* mask);
  void AppendReports(std::vector<ObjectReport>& objects) const;

  // A work buffer that only grows. It is never cleared: each frame writes
  // every entry it reads first, so zeroing would only cost time and, for a
  // large camera, tens of megabytes of pages that masks seldom reach.
  template <typename T>
  class WorkBuffer {
   public:
    void Grow(std::size_t count) {
      if (count <= size_) return;
      data_ = std::make_unique_for_overwrite<T[]>(count);
      size_ = count;
    }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

   private:
    std::unique_ptr<T[]> data_;
    std::size_t size_ = 0;
  };

  // Runs of moving pixels as (begin, end) column pairs, all rows back to
  // back; rowRuns_[y] is the index of row y's first run.
  WorkBuffer<std::uint16_t> runEdges_;
  WorkBuffer<std::int32_t> rowRuns_;
  // Union-find parent of each run, then (after flattening) its component;
  // the label-map pass reuses both arrays for the runs it leaves to erase.
  WorkBuffer<std::int32_t> runComponent_;
  WorkBuffer<Component> components_;
  // Label of each component, 0 for a small one; apart from the statistics
  // so that the label-map pass reads a dense array.
  WorkBuffer<std::int32_t> componentLabel_;
  std::int32_t componentCount_ = 0;
  std::int32_t firstBig_ = 0;  // componentCount_ when no object is big
  std::int32_t reportCount_ = 0;
  std::int32_t lateRunCount_ = 0;
};

}  // namespace quorvel
