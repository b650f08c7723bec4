// Mask decoding and object labelling: the documented edge cases, then
// randomised comparison with the plain flood fill in reference/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/cpu_features.h"
#include "receiver/motion_mask.h"
#include "receiver/object_labeller.h"
#include "reference/motion_reference.h"

namespace quorvel {
namespace {

constexpr std::uint8_t kM = 0xFF;  // moving
constexpr std::uint8_t kUnset = 0xCD;
constexpr std::int32_t kGarbageLabel = 0x5A5A5A5A;

// What one labelling produced, alarm included.
struct Outcome {
  std::vector<std::uint8_t> mask;
  std::vector<std::int32_t> labels;
  std::vector<ObjectReport> objects;
  int alarms = 0;
  std::vector<std::uint8_t> maskAtAlarm;
  std::size_t objectsAtAlarm = 0;
};

Outcome Label(ObjectLabeller& labeller, std::vector<std::uint8_t> mask,
              std::int32_t width, std::int32_t height, std::int32_t minSize) {
  Outcome out;
  out.labels.assign(mask.size(), kGarbageLabel);
  out.mask = std::move(mask);
  labeller.LabelMovingObjects(out.mask.data(), out.labels.data(), width, height,
                              minSize, out.objects, [&](std::uint8_t* m) {
                                ++out.alarms;
                                out.maskAtAlarm.assign(m, m + out.mask.size());
                                out.objectsAtAlarm = out.objects.size();
                              });
  return out;
}

Outcome Label(std::vector<std::uint8_t> mask, std::int32_t width,
              std::int32_t height, std::int32_t minSize) {
  ObjectLabeller labeller(width, height);
  return Label(labeller, std::move(mask), width, height, minSize);
}

Outcome LabelReference(std::vector<std::uint8_t> mask, std::int32_t width,
                       std::int32_t height, std::int32_t minSize) {
  static reference::LabelWork work;
  Outcome out;
  out.labels.assign(mask.size(), kGarbageLabel);
  out.mask = std::move(mask);
  reference::LabelMovingObjects(
      work, out.mask.data(), out.labels.data(), width, height, minSize,
      out.objects, [&](std::uint8_t* m) {
        ++out.alarms;
        out.maskAtAlarm.assign(m, m + out.mask.size());
        out.objectsAtAlarm = out.objects.size();
      });
  return out;
}

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& code,
                                 std::int32_t width, std::int32_t height) {
  std::vector<std::uint8_t> image(std::size_t(width) * height + 64, kUnset);
  EXPECT_EQ(DecodeMotionMask(code.data(), std::int32_t(code.size()),
                             image.data(), width, height),
            std::int32_t(code.size()));
  return image;
}

TEST(DecodeMotionMask, CodeBytesGiveRunsAndStopAtTheImageEnd) {
  // 1 still, 1 moving, 128 still, 128 moving, in a 258-pixel image.
  std::vector<std::uint8_t> image = Decode({0x00, 0x01, 0xFE, 0xFF}, 258, 1);
  EXPECT_EQ(image[0], 0x00);
  EXPECT_EQ(image[1], kM);
  EXPECT_EQ(std::count(image.begin() + 2, image.begin() + 130, 0x00), 128);
  EXPECT_EQ(std::count(image.begin() + 130, image.begin() + 258, kM), 128);
  EXPECT_EQ(std::count(image.begin() + 258, image.end(), kUnset), 64);

  // Overrunning codes fill exactly the image; short ones leave the rest.
  image = Decode(std::vector<std::uint8_t>(300, 0xFF), 70, 3);
  EXPECT_EQ(std::count(image.begin(), image.begin() + 210, kM), 210);
  EXPECT_EQ(std::count(image.begin() + 210, image.end(), kUnset), 64);
  image = Decode({0x05, 0x02}, 4, 2);
  EXPECT_EQ(
      std::vector<std::uint8_t>(image.begin(), image.begin() + 8),
      (std::vector<std::uint8_t>{kM, kM, kM, 0, 0, kUnset, kUnset, kUnset}));
}

TEST(DecodeMotionMask, InvalidArgumentsWriteNothing) {
  std::vector<std::uint8_t> image(16, kUnset);
  const std::uint8_t code[2] = {0xFF, 0xFF};
  EXPECT_EQ(DecodeMotionMask(nullptr, 2, image.data(), 4, 4), 0);
  EXPECT_EQ(DecodeMotionMask(code, -1, image.data(), 4, 4), 0);
  EXPECT_EQ(DecodeMotionMask(code, 2, nullptr, 4, 4), 2);
  EXPECT_EQ(DecodeMotionMask(code, 2, image.data(), 0, 4), 2);
  EXPECT_EQ(DecodeMotionMask(code, 2, image.data(), 4, -3), 2);
  EXPECT_EQ(std::count(image.begin(), image.end(), kUnset), 16);
}

TEST(LabelMovingObjects, ConnectivityBordersAndStillValues) {
  // Diagonal contact joins; a run off the right edge does not wrap onto the
  // next row; every value other than 0xFF is still and left as it is.
  const std::vector<std::uint8_t> mask = {kM, 0,  0,    kM,    //
                                          0,  kM, 0xCD, 0,     //
                                          kM, 0,  0x7F, 0xFE,  //
                                          0,  0,  0x01, kM};
  const Outcome out = Label(mask, 4, 4, 1);
  EXPECT_EQ(out.mask, mask);
  EXPECT_EQ(out.labels, (std::vector<std::int32_t>{1, 0, 0, 2, 0, 1, 0, 0, 1, 0,
                                                   0, 0, 0, 0, 0, 3}));
  ASSERT_EQ(out.objects.size(), 3u);
  const ObjectReport& first = out.objects[0];
  EXPECT_EQ(first.pixelCount, 3);
  EXPECT_EQ(first.meanX, 1.0 / 3.0);
  EXPECT_EQ(first.meanY, 1.0);
  EXPECT_EQ((std::vector<int>{first.minX, first.minY, first.maxX, first.maxY}),
            (std::vector<int>{0, 0, 1, 2}));
  // A single pixel's mean and box are its position.
  const ObjectReport& last = out.objects[2];
  EXPECT_EQ((std::vector<double>{last.meanX, last.meanY}),
            (std::vector<double>{3.0, 3.0}));
  EXPECT_EQ((std::vector<int>{last.label, last.pixelCount, last.minX, last.minY,
                              last.maxX, last.maxY}),
            (std::vector<int>{3, 1, 3, 3, 3, 3}));
  EXPECT_EQ(out.alarms, 1);
}

TEST(LabelMovingObjects, MinimumSizeErasesRenumbersAndRaisesOneAlarm) {
  // Objects in seed order: 2 px, 3 px, 2 px, 3 px, 1 px; minimum 3.
  const std::vector<std::uint8_t> mask = {kM, kM, 0,  kM, kM, kM, 0, kM,  //
                                          0,  0,  0,  0,  0,  0,  0, kM,  //
                                          kM, kM, kM, 0,  0,  0,  0, 0,   //
                                          0,  0,  0,  0,  0,  kM, 0, 0};
  const Outcome out = Label(mask, 8, 4, 3);
  ASSERT_EQ(out.objects.size(), 2u);
  EXPECT_EQ(out.objects[0].label, 1);
  EXPECT_EQ(out.objects[0].minX, 3);
  EXPECT_EQ(out.objects[1].label, 2);
  EXPECT_EQ(out.objects[1].minY, 2);
  EXPECT_EQ(out.labels, (std::vector<std::int32_t>{
                            0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<std::uint8_t> erased = mask;
  for (int at : {0, 1, 7, 15, 29}) erased[at] = 0;
  EXPECT_EQ(out.mask, erased);
  // One alarm, while the first big object was being filled: only the
  // small object before it is erased, and nothing is reported yet.
  ASSERT_EQ(out.alarms, 1);
  EXPECT_EQ(out.objectsAtAlarm, 0u);
  std::vector<std::uint8_t> atAlarm = mask;
  atAlarm[0] = atAlarm[1] = 0;
  EXPECT_EQ(out.maskAtAlarm, atAlarm);

  // One pixel less than the minimum: nothing reported, no alarm.
  const Outcome small = Label(mask, 8, 4, 4);
  EXPECT_TRUE(small.objects.empty());
  EXPECT_EQ(small.alarms, 0);
  EXPECT_EQ(small.mask, std::vector<std::uint8_t>(32, 0));
  EXPECT_EQ(small.labels, std::vector<std::int32_t>(32, 0));
}

TEST(LabelMovingObjects, EmptyMaskAndInvalidArgumentsRaiseNothing) {
  const Outcome empty = Label(std::vector<std::uint8_t>(35, kUnset), 7, 5, 1);
  EXPECT_EQ(empty.labels, std::vector<std::int32_t>(35, 0));
  EXPECT_TRUE(empty.objects.empty());
  EXPECT_EQ(empty.alarms, 0);

  ObjectLabeller labeller;  // no size reserved: grows on first use
  std::vector<std::uint8_t> mask(4, kM);
  std::vector<std::int32_t> labels(4, kGarbageLabel);
  std::vector<ObjectReport> objects;
  int alarms = 0;
  auto alarm = [&](std::uint8_t*) { ++alarms; };
  labeller.LabelMovingObjects(nullptr, labels.data(), 2, 2, 1, objects, alarm);
  labeller.LabelMovingObjects(mask.data(), nullptr, 2, 2, 1, objects, alarm);
  labeller.LabelMovingObjects(mask.data(), labels.data(), 0, 2, 1, objects,
                              alarm);
  labeller.LabelMovingObjects(mask.data(), labels.data(), 65536, 1, 1, objects,
                              alarm);
  EXPECT_EQ(labels, std::vector<std::int32_t>(4, kGarbageLabel));
  EXPECT_TRUE(objects.empty());
  EXPECT_EQ(alarms, 0);
  labeller.LabelMovingObjects(mask.data(), labels.data(), 2, 2, 1, objects,
                              alarm);
  EXPECT_EQ(labels, std::vector<std::int32_t>(4, 1));
  EXPECT_EQ(alarms, 1);
}

// ---- Randomised comparison with the reference -------------------------

void ExpectSame(const Outcome& got, const Outcome& want,
                const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(got.labels == want.labels) << "label map differs";
  EXPECT_TRUE(got.mask == want.mask) << "mask differs";
  ASSERT_EQ(got.objects.size(), want.objects.size());
  // Bitwise, so that means differing in the last bit count.
  for (std::size_t i = 0; i < got.objects.size(); ++i) {
    ASSERT_EQ(
        std::memcmp(&got.objects[i], &want.objects[i], sizeof(ObjectReport)), 0)
        << "object " << i << " differs";
  }
  EXPECT_EQ(got.alarms, want.alarms);
  EXPECT_TRUE(got.maskAtAlarm == want.maskAtAlarm) << "mask at alarm differs";
  EXPECT_EQ(got.objectsAtAlarm, want.objectsAtAlarm);
}

// Filled ellipses and bars, then noise, then still values other than 0x00.
std::vector<std::uint8_t> RandomMask(std::mt19937& rng, std::int32_t w,
                                     std::int32_t h, int blobs, double noise,
                                     double junk) {
  std::vector<std::uint8_t> mask(std::size_t(w) * h, 0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int b = 0; b < blobs; ++b) {
    const double cx = unit(rng) * w, cy = unit(rng) * h;
    const double rx = 0.5 + unit(rng) * w / 6, ry = 0.5 + unit(rng) * h / 6;
    const bool bar = unit(rng) < 0.2;
    for (std::int32_t y = std::max(0, int(cy - ry));
         y < std::min(h, int(cy + ry) + 1); ++y) {
      for (std::int32_t x = std::max(0, int(cx - rx));
           x < std::min(w, int(cx + rx) + 1); ++x) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        if (bar || dx * dx + dy * dy <= 1.0) mask[std::size_t(y) * w + x] = kM;
      }
    }
  }
  const std::uint8_t junkValues[] = {0xCD, 0x01, 0x7F, 0x80, 0xFE};
  for (std::uint8_t& p : mask) {
    const double r = unit(rng);
    if (r < noise) {
      p = kM;
    } else if (r < noise + junk) {
      p = junkValues[rng() % 5];
    }
  }
  return mask;
}

// Codes that mix long and short runs and usually overrun or underrun the
// image; the decoded frame always starts out as 0xCD.
std::vector<std::uint8_t> RandomCode(std::mt19937& rng, std::size_t pixels) {
  std::vector<std::uint8_t> code;
  const int style = int(rng() % 4);
  std::size_t covered = 0;
  const std::size_t target = pixels * (rng() % 5 + 8) / 10;  // 80-120 %
  while (covered < target + 1) {
    std::uint8_t b = std::uint8_t(rng());
    if (style == 1) b = (rng() % 16 != 0) ? std::uint8_t(0xFE | (b & 1)) : b;
    if (style == 2) b &= 0x07;
    code.push_back(b);
    covered += (b >> 1) + 1;
  }
  code.resize(code.size() - rng() % std::min<std::size_t>(code.size(), 40));
  return code;
}

struct Size {
  std::int32_t w, h;
};

std::vector<Size> TestSizes(std::mt19937& rng) {
  std::vector<Size> sizes = {{1, 1},  {1, 300},   {300, 1},     {63, 64},
                             {65, 3}, {640, 480}, {2051, 2049}, {5121, 251}};
  for (int i = 0; i < 150; ++i) {
    sizes.push_back(
        {std::int32_t(rng() % 90 + 1), std::int32_t(rng() % 90 + 1)});
  }
  return sizes;
}

// Run once with the AVX2 build (where the CPU has it) and once with the
// baseline build.
class MotionAgainstReference : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { platform::AllowAvx2(GetParam()); }
  void TearDown() override { platform::AllowAvx2(true); }
};

INSTANTIATE_TEST_SUITE_P(Builds, MotionAgainstReference,
                         ::testing::Values(true, false), [](const auto& param) {
                           return param.param ? "Avx2" : "Baseline";
                         });

TEST_P(MotionAgainstReference, DecodeMatches) {
  std::mt19937 rng(20240611);
  for (const Size s : TestSizes(rng)) {
    for (int trial = 0; trial < 3; ++trial) {
      const std::size_t pixels = std::size_t(s.w) * s.h;
      const std::vector<std::uint8_t> code = RandomCode(rng, pixels);
      const std::int32_t n = std::int32_t(code.size());
      // A margin after the image catches any write past its end.
      std::vector<std::uint8_t> got(pixels + 200, kUnset), want = got;
      ASSERT_EQ(
          DecodeMotionMask(code.data(), n, got.data(), s.w, s.h),
          reference::DecodeMotionMask(code.data(), n, want.data(), s.w, s.h));
      ASSERT_TRUE(got == want) << s.w << "x" << s.h << " trial " << trial;
    }
  }
}

TEST_P(MotionAgainstReference, LabellingMatches) {
  std::mt19937 rng(77);
  ObjectLabeller labeller;  // one labeller for all frames, as in a receiver
  for (const Size s : TestSizes(rng)) {
    const bool large = std::size_t(s.w) * s.h > 1000000;
    struct Kind {
      int blobs;
      double noise, junk;
    };
    const Kind kinds[] = {{int(rng() % 12 + 1), 0.0, 0.0},
                          {int(rng() % 8 + 1), 0.01, 0.01},
                          {0, 0.5, 0.05}};
    for (const Kind& kind : kinds) {
      const std::vector<std::uint8_t> mask =
          RandomMask(rng, s.w, s.h, kind.blobs, kind.noise, kind.junk);
      for (std::int32_t minSize : {1, 2, 2500, int(rng() % 40)}) {
        if (large && minSize != 2500 && kind.noise == 0.5) continue;
        const std::string what =
            std::to_string(s.w) + "x" + std::to_string(s.h) + " noise " +
            std::to_string(kind.noise) + " min " + std::to_string(minSize);
        ExpectSame(Label(labeller, mask, s.w, s.h, minSize),
                   LabelReference(mask, s.w, s.h, minSize), what);
        if (HasFailure()) return;
      }
    }
  }
}

// Decoded frames, 0xCD tails included, go through the labelling unchanged.
TEST_P(MotionAgainstReference, DecodedMasksLabelAlike) {
  std::mt19937 rng(5);
  ObjectLabeller labeller;
  for (int i = 0; i < 200; ++i) {
    const std::int32_t w = std::int32_t(rng() % 200 + 1);
    const std::int32_t h = std::int32_t(rng() % 60 + 1);
    const std::vector<std::uint8_t> code = RandomCode(rng, std::size_t(w) * h);
    std::vector<std::uint8_t> mask = Decode(code, w, h);
    mask.resize(std::size_t(w) * h);
    for (std::int32_t minSize : {1, 3, 25}) {
      ExpectSame(Label(labeller, mask, w, h, minSize),
                 LabelReference(mask, w, h, minSize), std::to_string(i));
      if (HasFailure()) return;
    }
  }
}


// One map labelled frame after frame, remembering its rows, ends up as a
// map written whole: across sizes, empty frames and frames of other widths.
TEST_P(MotionAgainstReference, LabelMapsKeptAcrossFramesMatchFreshOnes) {
  std::mt19937 rng(11);
  ObjectLabeller labeller(320, 200);
  std::vector<std::int32_t> kept(320 * 200, 0);
  LabelRows rows;
  const Size sizes[] = {{320, 200}, {320, 100}, {320, 200}, {160, 200}};
  for (int frame = 0; frame < 40; ++frame) {
    const Size size = sizes[frame % 4];
    const bool empty = frame % 7 == 3;
    std::vector<std::uint8_t> mask =
        RandomMask(rng, size.w, size.h, empty ? 0 : int(rng() % 5), 0.001, 0);
    std::vector<ObjectReport> objects;
    std::vector<std::uint8_t> keptMask = mask;
    labeller.LabelMovingObjects(keptMask.data(), kept.data(), size.w, size.h,
                                40, objects, [](std::uint8_t*) {}, &rows);
    const Outcome fresh = Label(std::move(mask), size.w, size.h, 40);
    const std::size_t pixels = std::size_t(size.w) * size.h;
    ASSERT_TRUE(std::equal(fresh.labels.begin(), fresh.labels.end(),
                           kept.begin(), kept.begin() + pixels))
        << "frame " << frame;
    EXPECT_TRUE(keptMask == fresh.mask) << "frame " << frame;
  }
}

}  // namespace
}  // namespace quorvel
