// Fuzz target: run-code decoding and moving-object labelling of arbitrary
// masks and sizes. One labeller takes one or two frames, as a receiver
// reuses its labeller from frame to frame, and every result is checked
// against the rules the display and the application rely on and against
// the plain flood fill of tests/unit/reference.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "platform/cpu_features.h"
#include "receiver/motion_mask.h"
#include "receiver/object_labeller.h"
#include "reference/motion_reference.h"

namespace quorvel::fuzz {
namespace {

// Larger frames add run time, not paths: 2048 x 128 at most.
constexpr std::int64_t kMaxPixels = 1 << 18;

bool SameReport(const ObjectReport& a, const ObjectReport& b) {
  return a.label == b.label && a.pixelCount == b.pixelCount &&
         a.meanX == b.meanX && a.meanY == b.meanY && a.minX == b.minX &&
         a.minY == b.minY && a.maxX == b.maxX && a.maxY == b.maxY;
}

// The rules on their own, whatever the reference says: labels 0 or
// reported, reported labels 1..n, counts and boxes that match the map, and
// no moving pixel left outside a reported object.
void CheckLabelling(const std::uint8_t* mask, const std::int32_t* labels,
                    std::int32_t width, std::int32_t height,
                    std::int32_t minObjectSize,
                    const std::vector<ObjectReport>& objects) {
  const auto n = static_cast<std::int32_t>(objects.size());
  for (std::int32_t k = 0; k < n; ++k) {
    const ObjectReport& object = objects[static_cast<std::size_t>(k)];
    FUZZ_CHECK(object.label == k + 1);
    FUZZ_CHECK(object.pixelCount >= 1 && object.pixelCount >= minObjectSize);
    FUZZ_CHECK(0 <= object.minX && object.minX <= object.maxX &&
               object.maxX < width);
    FUZZ_CHECK(0 <= object.minY && object.minY <= object.maxY &&
               object.maxY < height);
    FUZZ_CHECK(object.meanX >= object.minX && object.meanX <= object.maxX);
    FUZZ_CHECK(object.meanY >= object.minY && object.meanY <= object.maxY);
  }
  std::vector<std::int64_t> count(static_cast<std::size_t>(n) + 1, 0);
  std::int64_t labelled = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * width + x;
      const std::int32_t label = labels[at];
      FUZZ_CHECK(label >= 0 && label <= n);
      FUZZ_CHECK((label > 0) == (mask[at] == kMaskMoving));
      if (label == 0) continue;
      ++labelled;
      ++count[static_cast<std::size_t>(label)];
      const ObjectReport& object = objects[static_cast<std::size_t>(label) - 1];
      FUZZ_CHECK(x >= object.minX && x <= object.maxX && y >= object.minY &&
                 y <= object.maxY);
    }
  }
  std::int64_t reported = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    FUZZ_CHECK(count[static_cast<std::size_t>(k) + 1] ==
               objects[static_cast<std::size_t>(k)].pixelCount);
    reported += objects[static_cast<std::size_t>(k)].pixelCount;
  }
  FUZZ_CHECK(reported == labelled);
}

// What an alarm saw: how often it came and the mask at that moment.
struct AlarmSeen {
  int calls = 0;
  std::vector<std::uint8_t> mask;
};

void RunFrame(ObjectLabeller& labeller, const MotionFrameOptions& options,
              const std::uint8_t* code, std::size_t codeBytes) {
  std::int32_t width = options.width;
  std::int32_t height = options.height;
  if (std::int64_t{width} * height > kMaxPixels) {
    height = static_cast<std::int32_t>(kMaxPixels / width);
  }
  const std::size_t total =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::int32_t minObjectSize = MinSizeFromCode(options.minSizeCode);

  // Exactly the frame, so a write past it is caught.
  auto mask = std::make_unique<std::uint8_t[]>(total);
  std::memset(mask.get(), options.initialPixel, total);
  std::vector<std::uint8_t> expected(total, options.initialPixel);
  const auto codeCount = static_cast<std::int32_t>(codeBytes);
  FUZZ_CHECK(DecodeMotionMask(code, codeCount, mask.get(), width, height) ==
             codeCount);
  reference::DecodeMotionMask(code, codeCount, expected.data(), width, height);
  FUZZ_CHECK(std::memcmp(mask.get(), expected.data(), total) == 0);

  auto labels = std::make_unique<std::int32_t[]>(total);
  // Whatever the map held before must be rewritten.
  std::fill(labels.get(), labels.get() + total, -7);
  std::vector<ObjectReport> objects;
  AlarmSeen alarm;
  labeller.LabelMovingObjects(mask.get(), labels.get(), width, height,
                              minObjectSize, objects, [&](std::uint8_t* image) {
                                FUZZ_CHECK(image == mask.get());
                                FUZZ_CHECK(objects.empty());
                                ++alarm.calls;
                                alarm.mask.assign(image, image + total);
                              });

  FUZZ_CHECK(alarm.calls <= 1);
  FUZZ_CHECK((alarm.calls == 1) == !objects.empty());
  CheckLabelling(mask.get(), labels.get(), width, height, minObjectSize,
                 objects);

  // The plain flood fill must agree on everything: the cleaned mask, the
  // label map, the reports and the mask shown to the alarm.
  reference::LabelWork work;
  std::vector<std::int32_t> expectedLabels(total, -7);
  std::vector<ObjectReport> expectedObjects;
  AlarmSeen expectedAlarm;
  reference::LabelMovingObjects(
      work, expected.data(), expectedLabels.data(), width, height,
      minObjectSize, expectedObjects, [&](std::uint8_t* image) {
        ++expectedAlarm.calls;
        expectedAlarm.mask.assign(image, image + total);
      });
  FUZZ_CHECK(std::memcmp(mask.get(), expected.data(), total) == 0);
  FUZZ_CHECK(
      std::equal(labels.get(), labels.get() + total, expectedLabels.begin()));
  FUZZ_CHECK(objects.size() == expectedObjects.size());
  for (std::size_t k = 0; k < objects.size(); ++k) {
    FUZZ_CHECK(SameReport(objects[k], expectedObjects[k]));
  }
  FUZZ_CHECK(alarm.calls == expectedAlarm.calls);
  FUZZ_CHECK(alarm.mask == expectedAlarm.mask);
}

}  // namespace
}  // namespace quorvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorvel;
  using namespace quorvel::fuzz;
  ByteReader in(data, size);
  const std::uint8_t flags = in.U8();
  platform::AllowAvx2((flags & MotionOptions::kBaseline) == 0);
  const int frames = (flags & MotionOptions::kTwoFrames) != 0 ? 2 : 1;

  ObjectLabeller labeller;
  for (int f = 0; f < frames; ++f) {
    const MotionFrameOptions options = MotionFrameOptions::Read(in);
    const bool last = f + 1 == frames;
    std::size_t codeBytes = 0;
    const std::uint8_t* code =
        in.Take(last ? in.restSize() : options.codeBytes, &codeBytes);
    RunFrame(labeller, options, code, codeBytes);
  }
  platform::AllowAvx2(true);
  return 0;
}
