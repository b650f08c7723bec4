// Pixel routines: the cases that have bitten camera software before (16-bit
// sizes, step choice at the limit, borders, wrapping samples, the caller's
// fourth byte, odd tails), then every instruction-set variant held against
// the plain reference on random frames, with guard bytes after each
// destination to catch overruns.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "imaging/convert.h"
#include "imaging/frame_size.h"
#include "imaging/pixel_isa.h"
#include "reference/imaging_reference.h"

namespace quorvel {
namespace {

using imaging::OutputStores;
using imaging::PixelIsa;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kGuard = 64;
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

std::vector<PixelIsa> Isas() {
  std::vector<PixelIsa> isas;
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    if (imaging::PixelIsaAvailable(isa)) {
      isas.push_back(isa);
    }
  }
  return isas;
}

std::string IsaName(PixelIsa isa) {
  switch (isa) {
    case PixelIsa::kScalar:
      return "scalar";
    case PixelIsa::kSse2:
      return "sse2";
    case PixelIsa::kAvx2:
      return "avx2";
  }
  return "?";
}

Bytes RandomBytes(std::size_t count, std::mt19937& rng) {
  Bytes bytes(count);
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 4 == 0) {
      word = rng();
    }
    bytes[i] = static_cast<std::uint8_t>(word >> (8 * (i % 4)));
  }
  return bytes;
}

// Little-endian 16-bit samples below `bound` (65536: the whole range).
Bytes RandomSamples16(std::size_t count, std::uint32_t bound,
                      std::mt19937& rng) {
  Bytes bytes(2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t sample = rng() % bound;
    bytes[2 * i] = static_cast<std::uint8_t>(sample);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
  }
  return bytes;
}

// A destination of `bytes` bytes at a random distance (0-31) from the start
// of a buffer of random contents, with guard bytes after it; both sides of
// the image must come back untouched. Streaming stores must handle any
// alignment.
struct Destination {
  Bytes buffer;
  std::size_t offset;
  Destination(std::size_t bytes, std::mt19937& rng)
      : buffer(RandomBytes(32 + bytes + kGuard, rng)), offset(rng() % 32) {}
  std::uint8_t* data() { return buffer.data() + offset; }
};

// Empty when equal, else where the first difference is.
std::string FirstDifference(const Bytes& expected, const Bytes& actual,
                            std::size_t imageBytes) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      return (i < imageBytes ? "byte " : "guard byte ") + std::to_string(i) +
             ": expected " + std::to_string(expected[i]) + ", got " +
             std::to_string(actual[i]);
    }
  }
  return {};
}

std::string Case(PixelIsa isa, std::int32_t width, std::int32_t height,
                 std::int32_t a, std::int32_t b = 0, std::int32_t c = 0) {
  return IsaName(isa) + " " + std::to_string(width) + "x" +
         std::to_string(height) + " " + std::to_string(a) + " " +
         std::to_string(b) + " " + std::to_string(c);
}

// ---------------------------------------------------------------- sizes

TEST(FrameByteSize, CountsBytesByFormat) {
  EXPECT_EQ(FrameByteSize(640, 480, 52), 614400);
  EXPECT_EQ(FrameByteSize(640, 480, 53), 307200);
  EXPECT_EQ(FrameByteSize(640, 480, 54), 0);
  EXPECT_EQ(FrameByteSize(640, 480, 0), 0);
}

TEST(FrameByteSize, OnlyTheLow16BitsCountReadAsSigned) {
  EXPECT_EQ(FrameByteSize(70000, 2, 53), 8928);
  EXPECT_EQ(FrameByteSize(40000, 1, 53), -25536);
  EXPECT_EQ(FrameByteSize(65536, 480, 52), 0);
  EXPECT_EQ(FrameByteSize(-1, -1, 53), 1);
  EXPECT_EQ(FrameByteSize(32768, 32768, 53), 1 << 30);
  // Twice 2^30 is the one product beyond 32 bits: it wraps, without UB.
  EXPECT_EQ(FrameByteSize(32768, 32768, 52), kIntMin);
  std::mt19937 rng(52);
  for (int i = 0; i < 20000; ++i) {
    const auto width = static_cast<std::int32_t>(rng());
    const auto height = static_cast<std::int32_t>(rng());
    const std::int32_t code = 50 + static_cast<std::int32_t>(rng() % 5);
    ASSERT_EQ(FrameByteSize(width, height, code),
              reference::FrameByteSize(width, height, code))
        << width << " " << height << " " << code;
  }
}

TEST(CeilDivide, RoundsUpWithoutOverflow) {
  EXPECT_EQ(CeilDivide(640, 1), 640);
  EXPECT_EQ(CeilDivide(5, 2), 3);
  EXPECT_EQ(CeilDivide(4, 2), 2);
  EXPECT_EQ(CeilDivide(1, 7), 1);
  EXPECT_EQ(CeilDivide(0, 3), 0);
  // (a + b - 1) / b truncating toward zero, as written, for negatives too.
  EXPECT_EQ(CeilDivide(-5, 2), -2);
  EXPECT_EQ(CeilDivide(-7, 3), -1);
  // a + b - 1 overflows 32 bits here.
  EXPECT_EQ(CeilDivide(kIntMax, 1 << 30), 2);
  EXPECT_EQ(CeilDivide(kIntMax, kIntMax), 1);
  EXPECT_EQ(CeilDivide(kIntMax, 1), kIntMax);
  EXPECT_EQ(CeilDivide(kIntMin, 1), kIntMin);
}

TEST(CeilDivide, RefusesWhatHasNoQuotient) {
  EXPECT_EQ(CeilDivide(10, 0), 0);
  EXPECT_EQ(CeilDivide(kIntMin, -1), kIntMax);
  EXPECT_EQ(CeilDivide(7, -1), -5);
}

TEST(ChooseDecimationStep, KeepsTheDisplayNearTheLimit) {
  struct Expect {
    std::int32_t size, step, display;
  };
  for (const Expect& e :
       {Expect{640, 1, 640}, Expect{2048, 1, 2048}, Expect{2049, 2, 1025},
        Expect{4097, 2, 2049}, Expect{6000, 3, 2000}, Expect{1, 1, 1}}) {
    std::int32_t step = -7;
    std::int32_t display = -7;
    ASSERT_TRUE(ChooseDecimationStep(e.size, 2048, &step, &display)) << e.size;
    EXPECT_EQ(step, e.step) << e.size;
    EXPECT_EQ(display, e.display) << e.size;
  }
  std::int32_t step = 0;
  std::int32_t display = 0;
  ASSERT_TRUE(ChooseDecimationStep(kIntMax, 1, &step, &display));
  EXPECT_EQ(step, 1 << 30);
  EXPECT_EQ(display, 2);
  ASSERT_TRUE(ChooseDecimationStep(kIntMax, kIntMax, &step, &display));
  EXPECT_EQ(step, 1);
  EXPECT_EQ(display, kIntMax);
}

TEST(ChooseDecimationStep, RefusedArgumentsChangeNothing) {
  std::int32_t step = 11;
  std::int32_t display = 12;
  EXPECT_FALSE(ChooseDecimationStep(0, 2048, &step, &display));
  EXPECT_FALSE(ChooseDecimationStep(-640, 2048, &step, &display));
  EXPECT_FALSE(ChooseDecimationStep(640, 0, &step, &display));
  EXPECT_FALSE(ChooseDecimationStep(640, -1, &step, &display));
  EXPECT_FALSE(ChooseDecimationStep(640, 2048, nullptr, &display));
  EXPECT_FALSE(ChooseDecimationStep(640, 2048, &step, nullptr));
  EXPECT_EQ(step, 11);
  EXPECT_EQ(display, 12);
}

TEST(ChooseDecimationStep, MatchesCountingUpTheStep) {
  std::mt19937 rng(2048);
  for (int i = 0; i < 20000; ++i) {
    const auto size = static_cast<std::int32_t>(1 + rng() % 200000);
    const auto limit = static_cast<std::int32_t>(1 + rng() % 5000);
    std::int32_t step = 0;
    std::int32_t display = 0;
    std::int32_t expectedStep = 0;
    std::int32_t expectedDisplay = 0;
    ASSERT_TRUE(ChooseDecimationStep(size, limit, &step, &display));
    ASSERT_TRUE(reference::ChooseDecimationStep(size, limit, &expectedStep,
                                                &expectedDisplay));
    ASSERT_EQ(step, expectedStep) << size << " " << limit;
    ASSERT_EQ(display, expectedDisplay) << size << " " << limit;
  }
}

// ---------------------------------------------------------------- demosaic

TEST(DemosaicBayer, NarrowOrShortFramesAreAllBorder) {
  std::mt19937 rng(2);
  for (PixelIsa isa : Isas()) {
    for (auto [width, height] :
         {std::pair{2, 9}, std::pair{9, 2}, std::pair{1, 1}, std::pair{2, 2},
          std::pair{40, 1}, std::pair{1, 40}}) {
      const Bytes source =
          RandomSamples16(std::size_t(width) * height, 65536, rng);
      const Bytes before = RandomBytes(std::size_t(width) * height * 4, rng);
      Bytes image = before;
      imaging::DemosaicBayerUsing(isa, source.data(), image.data(), width,
                                  height, width, 10);
      for (std::size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(image[i], i % 4 == 3 ? before[i] : 0)
            << Case(isa, width, height, 10) << " byte " << i;
      }
    }
  }
}

TEST(DemosaicBayer, RefusedArgumentsWriteNothing) {
  std::mt19937 rng(3);
  const Bytes source = RandomSamples16(64, 1024, rng);
  const Bytes before = RandomBytes(64 * 4, rng);
  for (PixelIsa isa : Isas()) {
    Bytes image = before;
    for (std::int32_t depth : {0, 7, 9, 11, 13, 16}) {
      imaging::DemosaicBayerUsing(isa, source.data(), image.data(), 8, 8, 8,
                                  depth);
    }
    imaging::DemosaicBayerUsing(isa, nullptr, image.data(), 8, 8, 8, 10);
    imaging::DemosaicBayerUsing(isa, source.data(), nullptr, 8, 8, 8, 10);
    imaging::DemosaicBayerUsing(isa, source.data(), image.data(), 0, 8, 8, 10);
    imaging::DemosaicBayerUsing(isa, source.data(), image.data(), 8, -1, 8, 10);
    imaging::DemosaicBayerUsing(isa, source.data(), image.data(), 8, 8, 7, 10);
    EXPECT_EQ(image, before) << IsaName(isa);
  }
}

// Constant frames make each channel easy to predict: every site yields the
// constant >> k. Values above the significant range wrap, not clamp.
TEST(DemosaicBayer, ConstantFramesGiveGreyAndWrap) {
  struct Expect {
    std::int32_t depth;
    std::uint32_t sample;
    std::uint8_t grey;
  };
  for (PixelIsa isa : Isas()) {
    for (const Expect& e : {Expect{10, 400, 100}, Expect{10, 1024 + 400, 100},
                            Expect{12, 4096 + 800, 50}, Expect{8, 200, 200},
                            Expect{10, 65535, 255}}) {
      const std::int32_t width = 37;
      const std::int32_t height = 5;
      const std::size_t count = std::size_t(width) * height;
      Bytes source;
      for (std::size_t i = 0; i < count; ++i) {
        source.push_back(static_cast<std::uint8_t>(e.sample));
        if (e.depth != 8) {
          source.push_back(static_cast<std::uint8_t>(e.sample >> 8));
        }
      }
      Bytes image(count * 4, 0xA5);
      imaging::DemosaicBayerUsing(isa, source.data(), image.data(), width,
                                  height, width, e.depth);
      for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
          const bool border =
              x == 0 || y == 0 || x == width - 1 || y == height - 1;
          const std::uint8_t* pixel = &image[(std::size_t(y) * width + x) * 4];
          const std::uint8_t colour = border ? 0 : e.grey;
          ASSERT_EQ(pixel[0], colour) << Case(isa, x, y, e.depth);
          ASSERT_EQ(pixel[1], colour) << Case(isa, x, y, e.depth);
          ASSERT_EQ(pixel[2], colour) << Case(isa, x, y, e.depth);
          ASSERT_EQ(pixel[3], 0xA5) << Case(isa, x, y, e.depth);
        }
      }
    }
  }
}

// A single bright sample shows which neighbour feeds which channel at each
// of the four site kinds.
TEST(DemosaicBayer, SitesTakeTheirColoursFromTheRightNeighbours) {
  const std::int32_t width = 40;
  const std::int32_t height = 8;
  for (PixelIsa isa : Isas()) {
    for (std::int32_t py = 2; py <= 3; ++py) {
      for (std::int32_t px = 20; px <= 21; ++px) {
        Bytes source(std::size_t(width) * height, 0);
        source[std::size_t(py) * width + px] = 200;
        Bytes image(source.size() * 4, 0);
        imaging::DemosaicBayerUsing(isa, source.data(), image.data(), width,
                                    height, width, 8);
        Bytes expected(image.size(), 0);
        reference::DemosaicBayer(source.data(), expected.data(), width, height,
                                 width, 8);
        ASSERT_EQ(FirstDifference(expected, image, image.size()), "")
            << Case(isa, px, py, 8);
      }
    }
  }
  // The red site (0, 1) of a 3x3 frame: red is its own sample, green the
  // cross, blue the diagonals.
  const Bytes source = {10, 20, 30,  //
                        40, 50, 60,  //
                        70, 80, 90};
  for (PixelIsa isa : Isas()) {
    Bytes image(9 * 4, 0);
    imaging::DemosaicBayerUsing(isa, source.data(), image.data(), 3, 3, 3, 8);
    const std::uint8_t* centre = &image[4 * 4];
    // (1, 1) is green in a blue row: blue from left/right, red from up/down.
    EXPECT_EQ(centre[0], (40 + 60) / 2) << IsaName(isa);
    EXPECT_EQ(centre[1], 50) << IsaName(isa);
    EXPECT_EQ(centre[2], (20 + 80) / 2) << IsaName(isa);
  }
}

void ExpectDemosaicMatches(PixelIsa isa, std::int32_t width,
                           std::int32_t height, std::int32_t pitch,
                           std::int32_t depth, std::mt19937& rng) {
  const std::size_t samples = std::size_t(height - 1) * pitch + width;
  // Exactly the frame's bytes, so a read past its end is caught too.
  const Bytes source =
      depth == 8
          ? RandomBytes(samples, rng)
          : RandomSamples16(samples, rng() % 2 ? 65536 : 1u << depth, rng);
  Destination expected(std::size_t(width) * height * 4, rng);
  Destination actual = expected;
  reference::DemosaicBayer(source.data(), expected.data(), width, height, pitch,
                           depth);
  imaging::DemosaicBayerUsing(isa, source.data(), actual.data(), width, height,
                              pitch, depth);
  ASSERT_EQ(FirstDifference(expected.buffer, actual.buffer,
                            expected.buffer.size() - kGuard),
            "")
      << Case(isa, width, height, depth, pitch);
}

TEST(DemosaicBayer, EveryVariantMatchesTheReference) {
  std::mt19937 rng(1010);
  for (PixelIsa isa : Isas()) {
    for (std::int32_t depth : {8, 10, 12}) {
      for (std::int32_t width = 1; width <= 70; ++width) {
        const auto height = static_cast<std::int32_t>(1 + rng() % 9);
        const auto pitch =
            width + (rng() % 3 == 0 ? static_cast<std::int32_t>(rng() % 5) : 0);
        ExpectDemosaicMatches(isa, width, height, pitch, depth, rng);
      }
      ExpectDemosaicMatches(isa, 641, 7, 641, depth, rng);
      ExpectDemosaicMatches(isa, 1001, 12, 1003, depth, rng);
    }
  }
}

TEST(DemosaicBayer, LargeOddFramesMatchTheReference) {
  std::mt19937 rng(2051);
  for (PixelIsa isa : Isas()) {
    ExpectDemosaicMatches(isa, 2051, 2053, 2051, 10, rng);
  }
  ExpectDemosaicMatches(imaging::BestPixelIsa(), 2049, 2050, 2050, 12, rng);
}

TEST(DemosaicBayer, PublicRoutineUsesAMatchingVariant) {
  std::mt19937 rng(4);
  const std::int32_t width = 333;
  const std::int32_t height = 21;
  const Bytes source = RandomSamples16(std::size_t(width) * height, 65536, rng);
  Bytes expected = RandomBytes(std::size_t(width) * height * 4, rng);
  Bytes actual = expected;
  reference::DemosaicBayer(source.data(), expected.data(), width, height, width,
                           10);
  DemosaicBayer(source.data(), actual.data(), width, height, width, 10);
  EXPECT_EQ(FirstDifference(expected, actual, actual.size()), "");
}

// ---------------------------------------------------------------- mono

TEST(ExpandMono, GreyWithAZeroFourthByte) {
  const Bytes eight = {0, 1, 128, 255};
  // 1023 -> 255, 400 -> 100, 1024 + 4 -> 257 wraps to 1, 65535 -> 255.
  const Bytes ten = {0xFF, 0x03, 0x90, 0x01, 0x04, 0x04, 0xFF, 0xFF};
  for (PixelIsa isa : Isas()) {
    Bytes image(16, 0x77);
    imaging::ExpandMonoUsing(isa, eight.data(), image.data(), 2, 2, 8);
    EXPECT_EQ(image, (Bytes{0, 0, 0, 0, 1, 1, 1, 0, 128, 128, 128, 0, 255, 255,
                            255, 0}))
        << IsaName(isa);
    imaging::ExpandMonoUsing(isa, ten.data(), image.data(), 4, 1, 10);
    EXPECT_EQ(image, (Bytes{255, 255, 255, 0, 100, 100, 100, 0, 1, 1, 1, 0, 255,
                            255, 255, 0}))
        << IsaName(isa);
  }
}

TEST(ExpandMono, RefusedArgumentsWriteNothing) {
  std::mt19937 rng(5);
  const Bytes source = RandomBytes(128, rng);
  const Bytes before = RandomBytes(256, rng);
  for (PixelIsa isa : Isas()) {
    Bytes image = before;
    for (std::int32_t depth : {0, 9, 12, 16}) {
      imaging::ExpandMonoUsing(isa, source.data(), image.data(), 8, 8, depth);
    }
    imaging::ExpandMonoUsing(isa, nullptr, image.data(), 8, 8, 8);
    imaging::ExpandMonoUsing(isa, source.data(), nullptr, 8, 8, 8);
    imaging::ExpandMonoUsing(isa, source.data(), image.data(), 0, 8, 8);
    imaging::ExpandMonoUsing(isa, source.data(), image.data(), 8, -3, 8);
    EXPECT_EQ(image, before) << IsaName(isa);
  }
}

void ExpectMonoMatches(PixelIsa isa, OutputStores stores, std::int32_t width,
                       std::int32_t height, std::int32_t depth,
                       std::mt19937& rng) {
  const std::size_t count = std::size_t(width) * height;
  const Bytes source =
      depth == 8 ? RandomBytes(count, rng) : RandomSamples16(count, 65536, rng);
  Destination expected(count * 4, rng);
  Destination actual = expected;
  reference::ExpandMono(source.data(), expected.data(), width, height, depth);
  imaging::ExpandMonoUsing(isa, source.data(), actual.data(), width, height,
                           depth, stores);
  ASSERT_EQ(FirstDifference(expected.buffer, actual.buffer,
                            expected.buffer.size() - kGuard),
            "")
      << Case(isa, width, height, depth, static_cast<int>(stores));
}

TEST(ExpandMono, EveryVariantMatchesTheReference) {
  std::mt19937 rng(53);
  for (PixelIsa isa : Isas()) {
    for (OutputStores stores :
         {OutputStores::kCached, OutputStores::kStreamed}) {
      for (std::int32_t depth : {8, 10}) {
        for (std::int32_t width = 1; width <= 70; ++width) {
          const auto height = static_cast<std::int32_t>(1 + rng() % 4);
          ExpectMonoMatches(isa, stores, width, height, depth, rng);
        }
        for (std::int32_t width : {1023, 1024, 1025, 1031, 2048 + 17}) {
          ExpectMonoMatches(isa, stores, width, 1, depth, rng);
        }
        ExpectMonoMatches(isa, stores, 1021, 3, depth, rng);
      }
    }
  }
}

TEST(ExpandMono, LargeOddFramesMatchTheReference) {
  std::mt19937 rng(2053);
  for (PixelIsa isa : Isas()) {
    for (std::int32_t depth : {8, 10}) {
      ExpectMonoMatches(isa, OutputStores::kBySize, 2053, 2051, depth, rng);
    }
  }
}

// ---------------------------------------------------------------- packing

TEST(DecimateAndPack, KeepsTheTopLeftPixelOfEachBlock) {
  // Pixel (y, x) of a 5 x 3 image holds bytes 16y + x, 100, 200, 7.
  Bytes source;
  for (std::uint8_t y = 0; y < 3; ++y) {
    for (std::uint8_t x = 0; x < 5; ++x) {
      source.insert(source.end(),
                    {static_cast<std::uint8_t>(16 * y + x), 100, 200, 7});
    }
  }
  for (PixelIsa isa : Isas()) {
    Bytes out(6 * 4 + kGuard, 0xEE);
    std::int32_t outWidth = 0;
    std::int32_t outHeight = 0;
    imaging::DecimateAndPackUsing(isa, source.data(), out.data(), 5, 3, 32, 2,
                                  &outWidth, 2, &outHeight);
    EXPECT_EQ(outWidth, 3);
    EXPECT_EQ(outHeight, 2);
    Bytes expected;
    for (std::uint8_t first : {0, 2, 4, 32, 34, 36}) {
      expected.insert(expected.end(), {first, 100, 200, 7});
    }
    expected.resize(out.size(), 0xEE);
    EXPECT_EQ(out, expected) << IsaName(isa);
  }
}

TEST(DecimateAndPack, Packs565LittleEndian) {
  const Bytes source = {255, 0, 0,   9, 0,    255,  0,    9,
                        0,   0, 255, 9, 0x12, 0x34, 0x56, 9};
  for (PixelIsa isa : Isas()) {
    Bytes out(8, 0);
    imaging::DecimateAndPackUsing(isa, source.data(), out.data(), 2, 2, 16, 1,
                                  nullptr, 1, nullptr);
    EXPECT_EQ(out, (Bytes{0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0xA2, 0x51}))
        << IsaName(isa);
    imaging::DecimateAndPackUsing(isa, source.data(), out.data(), 2, 1, 24, 1,
                                  nullptr, 1, nullptr);
    EXPECT_EQ(out, (Bytes{255, 0, 0, 0, 255, 0, 0xA2, 0x51})) << IsaName(isa);
  }
}

TEST(DecimateAndPack, UnsupportedDepthReportsTheSizeOnly) {
  std::mt19937 rng(8);
  const Bytes source = RandomBytes(7 * 5 * 4, rng);
  const Bytes before = RandomBytes(7 * 5 * 4, rng);
  for (PixelIsa isa : Isas()) {
    for (std::int32_t bits : {0, 8, 15, 17, 23, 25, 31, 33, 64}) {
      Bytes out = before;
      std::int32_t outWidth = -1;
      std::int32_t outHeight = -1;
      imaging::DecimateAndPackUsing(isa, source.data(), out.data(), 7, 5, bits,
                                    3, &outWidth, 2, &outHeight);
      EXPECT_EQ(outWidth, 3) << bits;
      EXPECT_EQ(outHeight, 3) << bits;
      EXPECT_EQ(out, before) << IsaName(isa) << " " << bits;
    }
  }
}

TEST(DecimateAndPack, BrokenSizeContractWritesNothing) {
  std::mt19937 rng(9);
  const Bytes source = RandomBytes(8 * 8 * 4, rng);
  const Bytes before = RandomBytes(8 * 8 * 4, rng);
  for (PixelIsa isa : Isas()) {
    Bytes out = before;
    std::int32_t outWidth = -1;
    std::int32_t outHeight = -1;
    for (auto [width, height, stepX, stepY] :
         {std::tuple{0, 8, 1, 1}, std::tuple{8, 0, 1, 1},
          std::tuple{-8, 8, 1, 1}, std::tuple{8, 8, 0, 1},
          std::tuple{8, 8, 1, 0}, std::tuple{8, 8, -2, 2}}) {
      imaging::DecimateAndPackUsing(isa, source.data(), out.data(), width,
                                    height, 32, stepX, &outWidth, stepY,
                                    &outHeight);
    }
    EXPECT_EQ(outWidth, -1);
    EXPECT_EQ(outHeight, -1);
    // Null buffers: the sizes are meaningful and reported, no pixels.
    imaging::DecimateAndPackUsing(isa, nullptr, out.data(), 8, 8, 32, 3,
                                  &outWidth, 4, &outHeight);
    imaging::DecimateAndPackUsing(isa, source.data(), nullptr, 8, 8, 32, 3,
                                  &outWidth, 4, &outHeight);
    EXPECT_EQ(outWidth, 3);
    EXPECT_EQ(outHeight, 2);
    EXPECT_EQ(out, before) << IsaName(isa);
  }
}

void ExpectPackMatches(PixelIsa isa, std::int32_t width, std::int32_t height,
                       std::int32_t bits, std::int32_t stepX,
                       std::int32_t stepY, std::mt19937& rng) {
  const Bytes source = RandomBytes(std::size_t(width) * height * 4, rng);
  const std::size_t outBytes = std::size_t(CeilDivide(width, stepX)) *
                               std::size_t(CeilDivide(height, stepY)) *
                               std::size_t(bits > 0 ? bits / 8 : 0);
  Destination expected(outBytes, rng);
  Destination actual = expected;
  std::int32_t expectedSize[2] = {-1, -1};
  std::int32_t actualSize[2] = {-1, -1};
  reference::DecimateAndPack(source.data(), expected.data(), width, height,
                             bits, stepX, &expectedSize[0], stepY,
                             &expectedSize[1]);
  imaging::DecimateAndPackUsing(isa, source.data(), actual.data(), width,
                                height, bits, stepX, &actualSize[0], stepY,
                                &actualSize[1]);
  ASSERT_EQ(actualSize[0], expectedSize[0]);
  ASSERT_EQ(actualSize[1], expectedSize[1]);
  ASSERT_EQ(FirstDifference(expected.buffer, actual.buffer,
                            expected.buffer.size() - kGuard),
            "")
      << Case(isa, width, height, bits, stepX, stepY);
}

TEST(DecimateAndPack, EveryVariantMatchesTheReference) {
  std::mt19937 rng(1624);
  for (PixelIsa isa : Isas()) {
    for (std::int32_t bits : {8, 16, 24, 32}) {
      for (std::int32_t width = 1; width <= 70; ++width) {
        for (std::int32_t stepX : {1, 2, 3, 4, 5, 9, 64}) {
          const auto height = static_cast<std::int32_t>(1 + rng() % 7);
          const auto stepY = static_cast<std::int32_t>(1 + rng() % 5);
          ExpectPackMatches(isa, width, height, bits, stepX, stepY, rng);
        }
      }
      for (std::int32_t width : {643, 1023, 1026, 2049}) {
        for (std::int32_t step = 1; step <= 5; ++step) {
          ExpectPackMatches(isa, width, 3, bits, step, step, rng);
        }
      }
    }
  }
}

TEST(DecimateAndPack, LargeOddImagesMatchTheReference) {
  std::mt19937 rng(2049);
  for (PixelIsa isa : Isas()) {
    for (std::int32_t bits : {16, 24, 32}) {
      ExpectPackMatches(isa, 2051, 2049, bits, 1, 1, rng);
      ExpectPackMatches(isa, 2051, 2049, bits, 2, 2, rng);
    }
  }
  ExpectPackMatches(imaging::BestPixelIsa(), 2053, 2051, 24, 3, 5, rng);
}

TEST(DecimateAndPack, PublicRoutineUsesAMatchingVariant) {
  std::mt19937 rng(10);
  for (std::int32_t bits : {16, 24, 32}) {
    const std::int32_t width = 641;
    const std::int32_t height = 13;
    const Bytes source = RandomBytes(std::size_t(width) * height * 4, rng);
    Bytes expected = RandomBytes(std::size_t(width) * height * 4, rng);
    Bytes actual = expected;
    reference::DecimateAndPack(source.data(), expected.data(), width, height,
                               bits, 2, nullptr, 2, nullptr);
    DecimateAndPack(source.data(), actual.data(), width, height, bits, 2,
                    nullptr, 2, nullptr);
    EXPECT_EQ(FirstDifference(expected, actual, actual.size()), "") << bits;
  }
}

TEST(PixelIsa, ScalarAlwaysAndTheBestIsAvailable) {
  EXPECT_TRUE(imaging::PixelIsaAvailable(PixelIsa::kScalar));
  EXPECT_TRUE(imaging::PixelIsaAvailable(imaging::BestPixelIsa()));
#if defined(__x86_64__)
  EXPECT_TRUE(imaging::PixelIsaAvailable(PixelIsa::kSse2));
#endif
  std::string names;
  for (PixelIsa isa : Isas()) {
    names += IsaName(isa) + " ";
  }
  RecordProperty("variants", names);
}

}  // namespace
}  // namespace quorvel
