// Fuzz target: run-code decoding and moving-object labelling of arbitrary
// masks and sizes. One labeller takes one or two frames, as a receiver
// reuses its labeller from frame to frame, and every result is checked
// against the rules the display and the application rely on, the decoding
// against the byte-by-byte decoder of tests/unit/reference and, for small
// frames, the labelling against its plain flood fill.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_options.h"
#include "fuzz_support.h"
#include "harness_cost.h"
#include "platform/cpu_features.h"
#include "receiver/motion_mask.h"
#include "receiver/object_labeller.h"
#include "reference/motion_reference.h"

namespace quorvel::fuzz {
namespace {

// Frames of up to 64 x 64 pixels, the sides most inputs choose, are also
// labelled by the plain flood fill and must match it bit for bit. On a
// large frame the flood fill costs many times the labeller, so the larger
// ones are held to the rules and the reference decoder alone.
constexpr std::size_t kReferencePixels =
    static_cast<std::size_t>(kSmallSide) * kSmallSide;

constexpr std::int32_t kStaleLabel = -7;

// The frame as labelled: the requested sides, the height cut to the limit.
struct FrameSize {
  std::int32_t width, height;
  std::size_t pixels() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
};

FrameSize SizeOf(const MotionFrameOptions& options) {
  return {options.width, CutHeight(options.width, options.height)};
}

// Kept from input to input.
struct Work {
  ReusedBuffer<std::uint8_t> mask, expected;
  ReusedBuffer<std::int32_t> labels, expectedLabels;
  std::vector<ObjectReport> objects, expectedObjects;
  std::vector<std::uint8_t> alarmMask, expectedAlarmMask;
  ReusedBuffer<std::int64_t> pixelsOf;
  reference::LabelWork reference;
};

Work& Buffers() {
  static Work work;
  return work;
}

// An input of small frames gets a labeller of its own, its work buffers
// sized for its frames, so an overrun of them shows. Fresh buffers for a
// large frame would cost more than labelling it (page faults and
// clearing), so inputs with a large frame share one labeller, as a
// receiver's frames do.
ObjectLabeller& SharedLabeller() {
  static ObjectLabeller labeller;
  return labeller;
}

bool SameReport(const ObjectReport& a, const ObjectReport& b) {
  return a.label == b.label && a.pixelCount == b.pixelCount &&
         a.meanX == b.meanX && a.meanY == b.meanY && a.minX == b.minX &&
         a.minY == b.minY && a.maxX == b.maxX && a.maxY == b.maxY;
}

// The rules on their own, whatever the reference says: reported labels
// 1..n with plausible reports, and a map that matches them (which leaves
// no moving pixel outside a reported object).
FUZZ_CHECKER void CheckLabelling(const std::uint8_t* mask,
                                 const std::int32_t* labels, std::int32_t width,
                                 std::int32_t height,
                                 std::int32_t minObjectSize,
                                 const ObjectReport* objects, std::int32_t n,
                                 std::int64_t* count) {
  for (std::int32_t k = 0; k < n; ++k) {
    const ObjectReport& object = objects[k];
    FUZZ_CHECK(object.label == k + 1);
    FUZZ_CHECK(object.pixelCount >= 1 && object.pixelCount >= minObjectSize);
    FUZZ_CHECK(0 <= object.minX && object.minX <= object.maxX &&
               object.maxX < width);
    FUZZ_CHECK(0 <= object.minY && object.minY <= object.maxY &&
               object.maxY < height);
    FUZZ_CHECK(object.meanX >= object.minX && object.meanX <= object.maxX);
    FUZZ_CHECK(object.meanY >= object.minY && object.meanY <= object.maxY);
  }
  CheckLabelMap(mask, labels, width, height, objects, n, count);
}

// Labelling only erases moving pixels, and the mask the alarm saw (when
// one came) lies between the decoded and the cleaned one: what the flood
// fill shows in the middle of its work. The reference comparison implies
// both; on large frames they stand in for it.
FUZZ_CHECKER void CheckCleaning(const std::uint8_t* decoded,
                                const std::uint8_t* cleaned,
                                const std::uint8_t* alarmMask,
                                std::size_t total) {
  // Flags gathered without a branch a pixel, so the loops vectorise.
  std::uint8_t wrong = 0;
  for (std::size_t i = 0; i < total; ++i) {
    const std::uint8_t before = decoded[i], after = cleaned[i];
    wrong |= static_cast<std::uint8_t>(
        (after != before) & ((before != kMaskMoving) | (after != 0x00)));
  }
  FUZZ_CHECK(wrong == 0);  // a still pixel changed, or a moving one grew
  if (alarmMask == nullptr) return;
  for (std::size_t i = 0; i < total; ++i) {
    const std::uint8_t before = decoded[i], seen = alarmMask[i];
    wrong |= static_cast<std::uint8_t>(
        ((seen != before) & ((before != kMaskMoving) | (seen != 0x00))) |
        ((cleaned[i] == kMaskMoving) & (seen != kMaskMoving)));
  }
  FUZZ_CHECK(wrong == 0);  // the alarm's mask is not between the two
}

FUZZ_CHECKER bool SameMemory(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

FUZZ_CHECKER void FillLabels(std::int32_t* labels, std::size_t count,
                             std::int32_t value) {
  for (std::size_t i = 0; i < count; ++i) labels[i] = value;
}

// What an alarm saw: how often it came and the mask at that moment.
struct AlarmSeen {
  int calls = 0;
  std::vector<std::uint8_t>* mask;
};

// The plain flood fill must agree on everything: the cleaned mask, the
// label map, the reports and the mask shown to the alarm. `expected` holds
// the decoded frame and is cleaned by the flood fill.
void CompareWithFloodFill(Work& work, const std::uint8_t* mask,
                          const std::int32_t* labels, std::uint8_t* expected,
                          std::int32_t width, std::int32_t height,
                          std::int32_t minObjectSize, const AlarmSeen& alarm) {
  const std::size_t total =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::int32_t* expectedLabels = work.expectedLabels.Get(total);
  FillLabels(expectedLabels, total, kStaleLabel);
  work.expectedObjects.clear();
  AlarmSeen expectedAlarm{0, &work.expectedAlarmMask};
  reference::LabelMovingObjects(
      work.reference, expected, expectedLabels, width, height, minObjectSize,
      work.expectedObjects, [&](std::uint8_t* image) {
        ++expectedAlarm.calls;
        expectedAlarm.mask->assign(image, image + total);
      });
  FUZZ_CHECK(SameMemory(mask, expected, total));
  FUZZ_CHECK(SameMemory(labels, expectedLabels, total * sizeof *labels));
  const std::vector<ObjectReport>& objects = work.objects;
  FUZZ_CHECK(objects.size() == work.expectedObjects.size());
  for (std::size_t k = 0; k < objects.size(); ++k) {
    FUZZ_CHECK(SameReport(objects[k], work.expectedObjects[k]));
  }
  FUZZ_CHECK(alarm.calls == expectedAlarm.calls);
  if (alarm.calls > 0) FUZZ_CHECK(*alarm.mask == *expectedAlarm.mask);
}

void RunFrame(ObjectLabeller& labeller, const MotionFrameOptions& options,
              const std::uint8_t* code, std::size_t codeBytes) {
  Work& work = Buffers();
  const FrameSize size = SizeOf(options);
  const std::int32_t width = size.width, height = size.height;
  const std::size_t total = size.pixels();
  const std::int32_t minObjectSize = MinSizeFromCode(options.minSizeCode);

  // Exactly the frame, so a write past it is caught.
  std::uint8_t* mask = work.mask.Get(total);
  std::uint8_t* expected = work.expected.Get(total);
  std::memset(mask, options.initialPixel, total);
  std::memset(expected, options.initialPixel, total);
  const auto codeCount = static_cast<std::int32_t>(codeBytes);
  FUZZ_CHECK(DecodeMotionMask(code, codeCount, mask, width, height) ==
             codeCount);
  reference::DecodeMotionMask(code, codeCount, expected, width, height);
  FUZZ_CHECK(SameMemory(mask, expected, total));

  std::int32_t* labels = work.labels.Get(total);
  // Whatever the map held before must be rewritten.
  FillLabels(labels, total, kStaleLabel);
  std::vector<ObjectReport>& objects = work.objects;
  objects.clear();
  AlarmSeen alarm{0, &work.alarmMask};
  labeller.LabelMovingObjects(mask, labels, width, height, minObjectSize,
                              objects, [&](std::uint8_t* image) {
                                FUZZ_CHECK(image == mask);
                                FUZZ_CHECK(objects.empty());
                                ++alarm.calls;
                                alarm.mask->assign(image, image + total);
                              });

  FUZZ_CHECK(alarm.calls <= 1);
  FUZZ_CHECK((alarm.calls == 1) == !objects.empty());
  const auto n = static_cast<std::int32_t>(objects.size());
  CheckLabelling(mask, labels, width, height, minObjectSize, objects.data(), n,
                 work.pixelsOf.Get(objects.size() + 1));
  FUZZ_CHECK(alarm.calls == 0 || alarm.mask->size() == total);
  CheckCleaning(expected, mask, alarm.calls == 1 ? alarm.mask->data() : nullptr,
                total);
  if (total <= kReferencePixels) {
    CompareWithFloodFill(work, mask, labels, expected, width, height,
                         minObjectSize, alarm);
  }
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

  struct Frame {
    MotionFrameOptions options;
    const std::uint8_t* code;
    std::size_t codeBytes;
  } input[2];
  std::size_t largest = 0;
  for (int f = 0; f < frames; ++f) {
    Frame& frame = input[f];
    frame.options = MotionFrameOptions::Read(in);
    const bool last = f + 1 == frames;
    frame.code = in.Take(last ? in.restSize() : frame.options.codeBytes,
                         &frame.codeBytes);
    largest = std::max(largest, SizeOf(frame.options).pixels());
  }
  std::unique_ptr<ObjectLabeller> own;
  if (largest <= kReferencePixels) own = std::make_unique<ObjectLabeller>();
  ObjectLabeller& labeller = own != nullptr ? *own : SharedLabeller();
  for (int f = 0; f < frames; ++f) {
    RunFrame(labeller, input[f].options, input[f].code, input[f].codeBytes);
  }
  platform::AllowAvx2(true);
  return 0;
}
