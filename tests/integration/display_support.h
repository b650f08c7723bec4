// What the display tests share: a simulated camera fed frame by frame, and
// the pixels the library is expected to draw.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "display/backend/memory_windows.h"
#include "frame_source.h"
#include "support/camera_fixture.h"

namespace quorvel::test {

// A grey level as the window holds it at 32 and at 16 bits a pixel.
inline std::uint32_t Grey32(std::uint8_t level) { return level * 0x010101u; }
inline std::uint32_t Grey16(std::uint8_t level) {
  return static_cast<std::uint32_t>((level >> 3) << 11 | (level >> 2) << 5 |
                                    (level >> 3));
}

// A monochrome picture whose pixels differ from their neighbours, so any
// misplaced row or column shows.
inline std::vector<std::uint8_t> Pattern(std::int32_t width,
                                         std::int32_t height,
                                         std::uint32_t seed) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      pixels[static_cast<std::size_t>(y) * std::size_t(width) +
             std::size_t(x)] =
          static_cast<std::uint8_t>(x * 5 + y * 3 + x / 7 + seed);
    }
  }
  return pixels;
}

// Whether every pixel of the memory window equals expected(x, y); names the
// first pixel that does not.
template <typename Expected>
::testing::AssertionResult WindowShows(RvxWindow window, Expected expected) {
  const auto state = display::ReadMemoryWindow(window);
  if (!state || !state->alive) {
    return ::testing::AssertionFailure() << "no live window";
  }
  for (std::int32_t y = 0; y < state->height; ++y) {
    for (std::int32_t x = 0; x < state->width; ++x) {
      const std::uint32_t want = expected(x, y);
      if (state->at(x, y) != want) {
        char text[80];
        std::snprintf(text, sizeof text, "pixel (%d, %d) is 0x%08X, not 0x%08X",
                      x, y, state->at(x, y), want);
        return ::testing::AssertionFailure() << text;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

class DisplayTest : public CameraTest {
 protected:
  static constexpr int kBlock = 7;

  // A camera with display on 127.0.7.index whose frames the test pushes.
  const char* Connect(int index, std::int32_t width = 640,
                      std::int32_t height = 480) {
    camera_ = &Serve(kBlock, index);
    camera_->SetAutoStream(false);
    handle_ = rvx_ConnectCameraDisplayA(LoopbackAddress(kBlock, index).c_str(),
                                        width, height);
    EXPECT_NE(handle_, nullptr);
    record_ = Record(handle_);
    return handle_;
  }

  void PushFrame(std::int32_t type, const std::vector<std::uint8_t>& body,
                 std::int32_t width, std::int32_t lines) {
    ASSERT_TRUE(camera_->PushPacket(51, 12, FrameHeader(5, width, lines)));
    ASSERT_TRUE(camera_->PushPacket(
        type, static_cast<std::int32_t>(body.size()), body));
  }
  void PushPicture(const std::vector<std::uint8_t>& pixels, std::int32_t width,
                   std::int32_t lines) {
    PushFrame(129, pixels, width, lines);
  }
  void PushMask(const std::vector<std::uint8_t>& mask, std::int32_t width,
                std::int32_t lines) {
    PushFrame(130, camsim::EncodeRuns(mask), width, lines);
  }

  std::int32_t ShownFrames() { return record_->shownRate.frames(); }
  bool WaitShown(std::int32_t count) {
    return WaitUntil([&] { return ShownFrames() >= count; });
  }
  bool WaitReceived(std::int32_t count) {
    return WaitUntil([&] { return ReceivedFrames(*record_) >= count; });
  }
  // The display thread has taken the newest frame.
  bool WaitTaken() {
    return WaitUntil([&] {
      platform::MutexLock lock(record_->slots.slotLock);
      return record_->slots.frameReady == 0;
    });
  }
  static std::uint64_t Presented(RvxWindow window) {
    return display::ReadMemoryWindow(window)->framesPresented;
  }
  static bool WaitPresented(RvxWindow window, std::uint64_t count) {
    return WaitUntil([&] { return Presented(window) >= count; });
  }

  camsim::CameraServer* camera_ = nullptr;
  const char* handle_ = nullptr;
  CameraRef record_;
};

}  // namespace quorvel::test
