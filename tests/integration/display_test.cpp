// The live display drawing into memory windows: frames pushed by a
// simulated camera, checked pixel by pixel in the window.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "display/direct_draw.h"
#include "display/display_objects.h"
#include "display_support.h"
#include "registry/frame_rate.h"

namespace quorvel::test {
namespace {

constexpr std::int32_t kHalf = 0x3F000000;    // 0.5f
constexpr std::int32_t kOne = 0x3F800000;     // 1.0f
constexpr std::int32_t kDouble = 0x40000000;  // 2.0f
constexpr std::uint32_t kRed32 = 0x00FF0000;
constexpr std::uint32_t kWhite32 = 0x00FFFFFF;

std::uint8_t At(const std::vector<std::uint8_t>& picture, std::int32_t width,
                std::int32_t x, std::int32_t y) {
  return picture[static_cast<std::size_t>(y) * std::size_t(width) +
                 std::size_t(x)];
}

// A mask of width x height with the given rectangles (inclusive) moving.
struct Box {
  std::int32_t left, top, right, bottom;
};
std::vector<std::uint8_t> MaskOf(std::int32_t width, std::int32_t height,
                                 std::initializer_list<Box> boxes) {
  std::vector<std::uint8_t> mask(std::size_t(width) * std::size_t(height), 0);
  for (const Box& box : boxes) {
    for (std::int32_t y = box.top; y <= box.bottom; ++y) {
      for (std::int32_t x = box.left; x <= box.right; ++x) {
        mask[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0xFF;
      }
    }
  }
  return mask;
}

TEST_F(DisplayTest, MonochromeFramesAreDrawnAt32And16BitsAPixel) {
  Connect(1);
  const RvxWindow deep = display::CreateMemoryWindow(700, 500, 24);
  const RvxWindow shallow = display::CreateMemoryWindow(700, 500, 16);
  rvx_StartVideoStream(handle_, deep);
  ASSERT_EQ(record_->displayWindow.load(), deep);
  const auto first = Pattern(640, 480, 1);
  PushPicture(first, 640, 480);
  ASSERT_TRUE(WaitShown(1));
  auto inside = [](std::int32_t x, std::int32_t y) {
    return x < 640 && y < 480;
  };
  EXPECT_TRUE(WindowShows(deep, [&](std::int32_t x, std::int32_t y) {
    return inside(x, y) ? Grey32(At(first, 640, x, y)) : 0u;
  }));

  rvx_StopVideoStream(handle_);
  rvx_StartVideoStream(handle_, shallow);
  ASSERT_EQ(record_->displayWindow.load(), shallow);
  const auto second = Pattern(640, 480, 77);
  PushPicture(second, 640, 480);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_TRUE(WindowShows(shallow, [&](std::int32_t x, std::int32_t y) {
    return inside(x, y) ? Grey16(At(second, 640, x, y)) : 0u;
  }));
  // The first window is no longer drawn into.
  EXPECT_EQ(Presented(deep), 1u);
  EXPECT_TRUE(WindowShows(deep, [&](std::int32_t x, std::int32_t y) {
    return inside(x, y) ? Grey32(At(first, 640, x, y)) : 0u;
  }));
}

TEST_F(DisplayTest, WideCameraIsShownAtEveryThirdColumn) {
  Connect(2, 5120, 250);
  std::int32_t step = 0, shownWidth = 0;
  ASSERT_EQ(rvx_GetMiscOption(handle_, RVX_OPTION_STEP_X, &step), 1);
  ASSERT_EQ(rvx_GetMiscOption(handle_, RVX_OPTION_DISPLAY_WIDTH, &shownWidth), 1);
  ASSERT_EQ(step, 3);
  ASSERT_EQ(shownWidth, 1707);
  // Depth 32 is an ARGB visual: the picture must come out opaque.
  const RvxWindow window = display::CreateMemoryWindow(1800, 260, 32);
  rvx_StartVideoStream(handle_, window);
  const auto picture = Pattern(5120, 250, 5);
  PushPicture(picture, 5120, 250);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return x < 1707 && y < 250
               ? 0xFF000000u | Grey32(At(picture, 5120, 3 * x, y))
               : 0u;
  }));
}

TEST_F(DisplayTest, ZoomScalesTheDrawnRectangle) {
  Connect(3, 641, 20);
  const RvxWindow window = display::CreateMemoryWindow(1400, 60, 24);
  rvx_StartVideoStream(handle_, window);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, kHalf), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_Y, kHalf), 1);
  const auto first = Pattern(641, 20, 3);
  PushPicture(first, 641, 20);
  ASSERT_TRUE(WaitShown(1));
  // 641 x 0.5 truncates to 320.
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return x < 320 && y < 10 ? Grey32(At(first, 641, x * 641 / 320, y * 2))
                             : 0u;
  }));

  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, kDouble), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_Y, kDouble), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  auto doubled = [&](std::int32_t x, std::int32_t y) {
    return x < 1282 && y < 40 ? Grey32(At(first, 641, x / 2, y / 2)) : 0u;
  };
  EXPECT_EQ(Presented(window), 2u);
  EXPECT_TRUE(WindowShows(window, doubled));

  // The integer 2 is a float of about 2.8e-45: the width truncates to 0.
  // Neither it nor a zoom that is no positive finite number draws.
  const std::uint64_t presented = Presented(window);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, 2), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_Y, kOne), 1);
  PushPicture(Pattern(641, 20, 9), 641, 20);
  ASSERT_TRUE(WaitShown(2)) << "the frame is counted though not drawn";
  for (const std::int32_t bits :
       {0x7FC00000 /* NaN */, 0x7F800000 /* inf */, -0x40800000 /* -1 */, 0}) {
    ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, bits), 1);
    ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  }
  EXPECT_EQ(Presented(window), presented);
  EXPECT_TRUE(WindowShows(window, doubled));

  // Nothing was harmed: a sound zoom draws the next frame normally.
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, kOne), 1);
  const auto last = Pattern(641, 20, 11);
  PushPicture(last, 641, 20);
  ASSERT_TRUE(WaitShown(3));
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return x < 641 && y < 20 ? Grey32(At(last, 641, x, y)) : doubled(x, y);
  }));
}

TEST_F(DisplayTest, ScrollMovesTheContentAndKeepsUncoveredPixels) {
  Connect(4, 64, 48);
  const RvxWindow window = display::CreateMemoryWindow(64, 48, 24);
  rvx_StartVideoStream(handle_, window);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_X, 10), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_Y, 5), 1);
  const auto picture = Pattern(64, 48, 21);
  auto grey = [&](std::int32_t x, std::int32_t y) {
    return Grey32(At(picture, 64, x, y));
  };
  PushPicture(picture, 64, 48);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return x < 54 && y < 43 ? grey(x + 10, y + 5) : grey(x, y);
  }));

  // A redraw composes again from the display buffer, so the new offsets
  // apply to the frame itself, not to the scrolled surface.
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_X, -7), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_Y, -3), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return x >= 7 && y >= 3 ? grey(x - 7, y - 3) : grey(x, y);
  }));

  // Offsets beyond the surface move nothing, without reading outside it.
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_X, INT32_MIN), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_TRUE(WindowShows(window, grey));
}

TEST_F(DisplayTest, HighlightMarksAllObjectsOneObjectOrNone) {
  Connect(5);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_DETECT_OBJECTS, 1), 1);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_MIN_OBJECT_SIZE, 10), 1);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 0), 1);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  rvx_StartVideoStream(handle_, window);
  // Object 1 is an L whose bounding rectangle holds object 2, a square it
  // does not touch; object 3 is a bar further down.
  const Box lTop{10, 10, 60, 12}, lSide{10, 10, 12, 60};
  const Box square{30, 30, 40, 40}, bar{200, 100, 299, 104};
  const auto mask = MaskOf(640, 480, {lTop, lSide, square, bar});
  PushMask(mask, 640, 480);
  ASSERT_TRUE(WaitShown(1));
  {
    platform::MutexLock lock(record_->displayLock);
    ASSERT_EQ(record_->slots.showSlot->objectCount, 3);
  }
  auto within = [](const Box& b, std::int32_t x, std::int32_t y) {
    return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
  };
  auto moving = [&](std::int32_t x, std::int32_t y) {
    return At(mask, 640, x, y) == 0xFF;
  };
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return moving(x, y) ? kRed32 : 0u;
  }));

  // Object n only, by its label: the square inside the L's rectangle stays
  // white when the L is selected.
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 1), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    if (!moving(x, y)) return 0u;
    return within(lTop, x, y) || within(lSide, x, y) ? kRed32 : kWhite32;
  }));
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 2), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    if (!moving(x, y)) return 0u;
    return within(square, x, y) ? kRed32 : kWhite32;
  }));

  // Beyond the count, or no selection: the frame as it is.
  for (const std::int32_t select : {5, -1}) {
    ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, select), 1);
    ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
    EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
      return moving(x, y) ? kWhite32 : 0u;
    })) << select;
  }

  // At 16 bits a pixel red keeps red and inverts green and blue too.
  const RvxWindow shallow = display::CreateMemoryWindow(640, 480, 16);
  rvx_StopVideoStream(handle_);
  rvx_StartVideoStream(handle_, shallow);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 3), 1);
  PushMask(mask, 640, 480);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_TRUE(WindowShows(shallow, [&](std::int32_t x, std::int32_t y) {
    if (!moving(x, y)) return 0u;
    return within(bar, x, y) ? 0xF800u : 0xFFFFu;
  }));
}

TEST_F(DisplayTest, HighlightReadsLabelsAtTheDecimatedImagePixel) {
  Connect(6, 5120, 250);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_DETECT_OBJECTS, 1), 1);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_MIN_OBJECT_SIZE, 10), 1);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 0), 1);
  const RvxWindow window = display::CreateMemoryWindow(1707, 250, 24);
  rvx_StartVideoStream(handle_, window);
  const Box first{100, 10, 400, 30}, second{3000, 50, 3500, 90},
      third{4990, 120, 5119, 130};
  const auto mask = MaskOf(5120, 250, {first, second, third});
  auto moving = [&](std::int32_t x, std::int32_t y) {
    return At(mask, 5120, 3 * x, y) == 0xFF;
  };
  PushMask(mask, 5120, 250);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return moving(x, y) ? kRed32 : 0u;
  }));

  // Object 2's rectangle, divided by the step, holds exactly its pixels.
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 2), 1);
  ASSERT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    if (!moving(x, y)) return 0u;
    return 3 * x >= second.left && 3 * x <= second.right ? kRed32 : kWhite32;
  }));
}

TEST_F(DisplayTest, DestroyedWindowDropsFramesWithoutCountingThem) {
  Connect(7);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  rvx_StartVideoStream(handle_, window);
  PushPicture(Pattern(640, 480, 1), 640, 480);
  ASSERT_TRUE(WaitShown(1));
  ASSERT_TRUE(display::DestroyMemoryWindow(window));
  for (std::int32_t i = 2; i <= 4; ++i) {
    PushPicture(Pattern(640, 480, i), 640, 480);
    ASSERT_TRUE(WaitReceived(i));
    ASSERT_TRUE(WaitTaken());
  }
  // Time for a wrongly counted frame to show in the count.
  SettleBeforeCheckingAbsence();
  EXPECT_EQ(ShownFrames(), 1);
  EXPECT_FALSE(display::ReadMemoryWindow(window)->alive);
  // Redrawing into it is as harmless.
  EXPECT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
}

TEST_F(DisplayTest, FramesNarrowerThanFourPixelsAreCountedNotDrawn) {
  Connect(8);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  rvx_StartVideoStream(handle_, window);
  PushPicture(std::vector<std::uint8_t>(3 * 480, 0x80), 3, 480);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_EQ(Presented(window), 0u);
  EXPECT_TRUE(
      WindowShows(window, [](std::int32_t, std::int32_t) { return 0u; }));
  // Four columns are drawn.
  PushPicture(std::vector<std::uint8_t>(4 * 480, 0x80), 4, 480);
  ASSERT_TRUE(WaitShown(2));
  EXPECT_EQ(Presented(window), 1u);
  EXPECT_TRUE(WindowShows(window, [](std::int32_t x, std::int32_t) {
    return x < 4 ? Grey32(0x80) : 0u;
  }));
}

TEST_F(DisplayTest, DisplayRateIsRefreshedOnlyAfterMoreThan800Ms) {
  // The rule itself, at its edge.
  std::int32_t count = 5, mark = 0;
  std::uint32_t tick = 1000;
  float fps = 7.0f;
  CountFrame(count, mark, tick, fps, 1800);
  EXPECT_EQ(fps, 7.0f);
  EXPECT_EQ(tick, 1000u);
  CountFrame(count, mark, tick, fps, 1801);
  EXPECT_FLOAT_EQ(fps, 7.0f / 801.0f * 1000.0f);
  EXPECT_EQ(mark, 7);
  EXPECT_EQ(tick, 1801u);

  // And as the display thread applies it.
  Connect(9);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  rvx_StartVideoStream(handle_, window);
  std::uint32_t before = 0;
  FrameRate& rate = record_->shownRate;
  {
    platform::MutexLock lock(rate.lock);
    before = platform::TickCount();
    rate.tickMark = before - 5000;
  }
  PushPicture(Pattern(640, 480, 1), 640, 480);
  ASSERT_TRUE(WaitShown(1));
  const std::uint32_t after = platform::TickCount();
  std::uint32_t refreshedAt = 0;
  {
    platform::MutexLock lock(rate.lock);
    EXPECT_EQ(rate.countMark, 1);
    refreshedAt = rate.tickMark;
    EXPECT_GE(refreshedAt, before);
    EXPECT_LE(refreshedAt, after);
    EXPECT_FLOAT_EQ(
        rate.fps,
        static_cast<float>(1.0 / (refreshedAt - (before - 5000)) * 1000.0));
  }
  double reported = 0;
  ASSERT_EQ(rvx_GetFPS(handle_, RVX_FPS_DISPLAYED, &reported), 1);
  EXPECT_GT(reported, 0.0);
  // The next frame comes well within 800 ms: counted, rate kept.
  PushPicture(Pattern(640, 480, 2), 640, 480);
  ASSERT_TRUE(WaitShown(2));
  platform::MutexLock lock(rate.lock);
  if (platform::TickCount() - refreshedAt <= 800) {
    EXPECT_EQ(rate.countMark, 1);
    EXPECT_EQ(rate.tickMark, refreshedAt);
  }
}

TEST_F(DisplayTest, RedrawShowsTheDisplayBufferAgainOnlyWithAWindow) {
  Connect(10, 64, 48);
  // No window yet: done, nothing drawn.
  EXPECT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  const RvxWindow window = display::CreateMemoryWindow(64, 48, 24);
  rvx_StartVideoStream(handle_, window);
  const auto picture = Pattern(64, 48, 8);
  PushPicture(picture, 64, 48);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_EQ(Presented(window), 2u);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return Grey32(At(picture, 64, x, y));
  }));
  EXPECT_EQ(ShownFrames(), 1) << "a redraw is not a shown frame";

  // A start without a window leaves the binding but clears the window: a
  // redraw then draws nothing, and frames are dropped.
  rvx_StopVideoStream(handle_);
  rvx_StartVideoStream2(handle_, 0, nullptr, 0);
  EXPECT_EQ(rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0), 1);
  PushPicture(Pattern(64, 48, 9), 64, 48);
  ASSERT_TRUE(WaitReceived(1));
  ASSERT_TRUE(WaitTaken());
  EXPECT_EQ(Presented(window), 2u);
  EXPECT_EQ(ShownFrames(), 0);
}

TEST_F(DisplayTest, StartingAgainWithTheSameWindowKeepsItsBinding) {
  Connect(11);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  rvx_StartVideoStream(handle_, window);
  DisplayObjects* objects = nullptr;
  {
    platform::MutexLock lock(record_->displayLock);
    objects = record_->displayObjects.get();
  }
  ASSERT_NE(objects, nullptr);
  rvx_StopVideoStream(handle_);
  rvx_StartVideoStream(handle_, window);
  EXPECT_EQ(display::ReadMemoryWindow(window)->binds, 1);
  {
    platform::MutexLock lock(record_->displayLock);
    EXPECT_EQ(record_->displayObjects.get(), objects);
  }
  PushPicture(Pattern(640, 480, 4), 640, 480);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_EQ(Presented(window), 1u);
}

TEST_F(DisplayTest, FailedSetUpKeepsTheWindowAndLeavesNoObjects) {
  Connect(12);
  const RvxWindow window = display::CreateMemoryWindow(640, 480, 24);
  const RvxWindow gone = display::CreateMemoryWindow(640, 480, 24);
  ASSERT_TRUE(display::DestroyMemoryWindow(gone));
  rvx_StartVideoStream(handle_, window);
  rvx_StopVideoStream(handle_);
  // A window that no longer exists cannot be bound; the old binding is
  // released and displayWindow keeps naming the old window.
  rvx_StartVideoStream(handle_, gone);
  EXPECT_EQ(record_->streaming.load(), 1) << "the stream starts anyway";
  EXPECT_EQ(record_->displayWindow.load(), window);
  {
    platform::MutexLock lock(record_->displayLock);
    EXPECT_EQ(record_->displayObjects, nullptr);
  }
  // Frames are taken and counted, but not drawn.
  PushPicture(Pattern(640, 480, 4), 640, 480);
  ASSERT_TRUE(WaitShown(1));
  EXPECT_EQ(Presented(window), 0u);
  // A start with the window still named binds nothing new either.
  rvx_StopVideoStream(handle_);
  rvx_StartVideoStream(handle_, window);
  EXPECT_EQ(display::ReadMemoryWindow(window)->binds, 1);

  ASSERT_TRUE(SetUpDirectDraw(*record_, window));
  EXPECT_EQ(display::ReadMemoryWindow(window)->binds, 2);
  // A null window binds nothing and releases what was bound.
  EXPECT_FALSE(SetUpDirectDraw(*record_, 0));
  platform::MutexLock lock(record_->displayLock);
  EXPECT_EQ(record_->displayObjects, nullptr);
  EXPECT_EQ(record_->displayWindow.load(), window);
}

TEST_F(DisplayTest, LostBackingIsRestoredAndTheNextFrameDrawn) {
  Connect(13, 64, 48);
  const RvxWindow window = display::CreateMemoryWindow(64, 48, 24);
  rvx_StartVideoStream(handle_, window);
  PushPicture(Pattern(64, 48, 1), 64, 48);
  ASSERT_TRUE(WaitShown(1));
  ASSERT_TRUE(display::LoseMemoryWindowBacking(window));
  PushPicture(Pattern(64, 48, 2), 64, 48);
  ASSERT_TRUE(WaitShown(2));
  // The frame that found the backing lost is not drawn again.
  EXPECT_EQ(Presented(window), 1u);
  EXPECT_TRUE(
      WindowShows(window, [](std::int32_t, std::int32_t) { return 0u; }));
  const auto third = Pattern(64, 48, 3);
  PushPicture(third, 64, 48);
  ASSERT_TRUE(WaitShown(3));
  EXPECT_EQ(Presented(window), 2u);
  EXPECT_TRUE(WindowShows(window, [&](std::int32_t x, std::int32_t y) {
    return Grey32(At(third, 64, x, y));
  }));
}

// Set-up, redraw and option changes from the application's threads while
// the display thread draws a fast stream, then a disconnect in the middle
// of it; the sanitizer builds check that nothing races.
TEST_F(DisplayTest, SetUpRedrawAndDisconnectRaceNothing) {
  camera_ = &Serve(kBlock, 14);
  camera_->SetFrameRate(250);
  // Masks, so the highlight runs too: item 205 on.
  camera_->model().SetMaskMode(true);
  handle_ =
      rvx_ConnectCameraDisplayA(LoopbackAddress(kBlock, 14).c_str(), 320, 240);
  ASSERT_NE(handle_, nullptr);
  record_ = Record(handle_);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_DETECT_OBJECTS, 1), 1);
  ASSERT_EQ(rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, 0), 1);
  const RvxWindow windows[] = {display::CreateMemoryWindow(320, 240, 24),
                               display::CreateMemoryWindow(200, 150, 16)};
  rvx_StartVideoStream(handle_, windows[0]);
  ASSERT_TRUE(WaitUntil([&] { return ShownFrames() >= 3; }));

  std::atomic<bool> stop{false};
  std::thread redraw([&] {
    for (std::int32_t i = 0; !stop.load(); ++i) {
      (void)rvx_SetMiscOption(handle_, RVX_OPTION_REDRAW, 0);
      (void)rvx_SetMiscOption(handle_, RVX_OPTION_SCROLL_X, i % 9);
      (void)rvx_SetMiscOption(handle_, RVX_OPTION_ZOOM_X, i % 2 ? kHalf : kOne);
      (void)rvx_SetSmartMotion(handle_, RVX_ITEM_HIGHLIGHT, i % 4 - 1);
      double fps = 0;
      (void)rvx_GetFPS(handle_, RVX_FPS_DISPLAYED, &fps);
    }
  });
  for (int i = 0; i < 12; ++i) {
    rvx_StopVideoStream(handle_);
    rvx_StartVideoStream(handle_, windows[i % 2]);
    platform::SleepMs(5);
  }
  rvx_DisconnectCamera(handle_);
  stop.store(true);
  redraw.join();
  EXPECT_EQ(record_->displayThread, nullptr);
  platform::MutexLock lock(record_->displayLock);
  EXPECT_EQ(record_->displayObjects, nullptr);
}

}  // namespace
}  // namespace quorvel::test
