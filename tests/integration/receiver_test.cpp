// The data-channel receiver: frames pushed packet by packet by the
// simulated camera.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "frame_source.h"
#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

struct Seen {
  std::mutex mutex;
  std::vector<std::int32_t> frameLines;
  std::vector<std::int32_t> streamCounts;
  std::vector<std::int32_t> streamFormats;
  std::vector<std::uint8_t> lastStreamPixels;
  std::vector<std::vector<ObjectReport>> objectReports;
  std::vector<std::vector<std::uint8_t>> alarmMasks;
};
Seen* seen = nullptr;

void RVX_CALL OnFrame(const char*, int32_t lines, int32_t user) {
  ASSERT_EQ(user, 11);
  std::lock_guard<std::mutex> lock(seen->mutex);
  seen->frameLines.push_back(lines);
}

void RVX_CALL OnStream(const char*, uint8_t* pixels, int32_t count,
                       int32_t format, int32_t user) {
  ASSERT_EQ(user, 22);
  std::lock_guard<std::mutex> lock(seen->mutex);
  seen->streamCounts.push_back(count);
  seen->streamFormats.push_back(format);
  seen->lastStreamPixels.assign(pixels, pixels + count);
}

void RVX_CALL OnObjects(const char*, int32_t count, ObjectReport* objects,
                        int32_t user) {
  ASSERT_EQ(user, 33);
  std::lock_guard<std::mutex> lock(seen->mutex);
  seen->objectReports.emplace_back(objects, objects + count);
}

void RVX_CALL OnAlarm(const char*, uint8_t* mask, int32_t user) {
  ASSERT_EQ(user, 44);
  std::lock_guard<std::mutex> lock(seen->mutex);
  seen->alarmMasks.emplace_back(mask, mask + 640 * 480);
}

class ReceiverTest : public CameraTest {
 protected:
  void SetUp() override { seen = &seen_; }
  void TearDown() override {
    CameraTest::TearDown();
    seen = nullptr;
  }

  // A streaming camera of 640 x 480 with every callback set, fed by hand.
  const char* Stream(int index) {
    camera_ = &Serve(4, index);
    camera_->SetAutoStream(false);
    const char* handle =
        rvx_ConnectCameraNoDisplayA(LoopbackAddress(4, index).c_str(), 0, 0);
    EXPECT_NE(handle, nullptr);
    record_ = Record(handle);
    rvx_SetCallbackReceivedOneFrame(handle, 11, OnFrame);
    rvx_SetCallbackDetectObjectsReport(handle, 33, OnObjects);
    rvx_SetCallbackAlarmSignal(handle, 44, OnAlarm);
    rvx_StartVideoStream2(handle, 0, OnStream, 22);
    EXPECT_EQ(record_->streaming.load(), 1);
    return handle;
  }

  void Push(std::int32_t type, std::vector<std::uint8_t> body,
            std::int32_t length = -1) {
    const auto size = static_cast<std::int32_t>(body.size());
    ASSERT_TRUE(camera_->PushPacket(type, length == -1 ? size : length, body));
  }

  void PushFrame(std::int32_t flags, std::int32_t width, std::int32_t lines,
                 std::int32_t type, std::vector<std::uint8_t> body) {
    Push(51, FrameHeader(flags, width, lines));
    Push(type, std::move(body));
  }

  bool WaitForFrames(std::int32_t count) {
    return WaitUntil([&] { return ReceivedFrames(*record_) >= count; });
  }

  // The newest published frame, as the display side would take it.
  FrameSlot* Ready() {
    platform::MutexLock lock(record_->slots.slotLock);
    return record_->slots.readySlot;
  }

  std::int32_t FrameReady() {
    platform::MutexLock lock(record_->slots.slotLock);
    return record_->slots.frameReady;
  }

  static std::vector<std::uint8_t> Picture(std::uint8_t seed) {
    std::vector<std::uint8_t> pixels(640 * 480);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = static_cast<std::uint8_t>(i * 7 + seed);
    }
    return pixels;
  }

  Seen seen_;
  camsim::CameraServer* camera_ = nullptr;
  CameraRef record_;
};

TEST_F(ReceiverTest, SinglePacketFrameIsPublishedOnce) {
  Stream(1);
  const auto picture = Picture(3);
  PushFrame(5, 640, 480, 129, picture);
  ASSERT_TRUE(WaitForFrames(1));
  FrameSlot* ready = Ready();
  EXPECT_EQ(ready->width, 640);
  EXPECT_EQ(ready->height, 480);
  EXPECT_EQ(std::memcmp(ready->pixels.get(), picture.data(), picture.size()),
            0);
  EXPECT_EQ(FrameReady(), 1);
  std::lock_guard<std::mutex> lock(seen_.mutex);
  EXPECT_EQ(seen_.frameLines, std::vector<std::int32_t>{480});
  EXPECT_EQ(seen_.streamCounts, std::vector<std::int32_t>{307200});
  EXPECT_EQ(seen_.streamFormats, std::vector<std::int32_t>{53});
  EXPECT_EQ(seen_.lastStreamPixels, picture);
  EXPECT_TRUE(seen_.objectReports.empty());
}

TEST_F(ReceiverTest, HeaderSizesAreClippedToTheCamera) {
  Stream(2);
  PushFrame(5, 700, 500, 129, Picture(1));
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_EQ(Ready()->width, 640);
  EXPECT_EQ(Ready()->height, 480);
  PushFrame(5, 320, 200, 129, std::vector<std::uint8_t>(320 * 200, 9));
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(Ready()->width, 320);
  EXPECT_EQ(Ready()->height, 200);
  // A negative width gives an empty frame, not a negative one.
  PushFrame(5, -3, 10, 129, std::vector<std::uint8_t>(10, 9));
  ASSERT_TRUE(WaitForFrames(3));
  EXPECT_EQ(Ready()->width, 0);
  std::lock_guard<std::mutex> lock(seen_.mutex);
  EXPECT_EQ(seen_.frameLines, (std::vector<std::int32_t>{480, 200, 10}));
  EXPECT_EQ(seen_.streamCounts, (std::vector<std::int32_t>{307200, 64000, 0}));
}

TEST_F(ReceiverTest, UncoveredBytesOfAStartedFrameRead0xCD) {
  Stream(3);
  PushFrame(5, 640, 480, 129, std::vector<std::uint8_t>(1000, 0x11));
  ASSERT_TRUE(WaitForFrames(1));
  const std::uint8_t* pixels = Ready()->pixels.get();
  EXPECT_EQ(pixels[999], 0x11);
  EXPECT_EQ(pixels[1000], 0xCD);
  EXPECT_EQ(pixels[640 * 480 - 1], 0xCD);
}

TEST_F(ReceiverTest, LengthZeroCarriesOneWholeFrame) {
  Stream(4);
  const auto picture = Picture(5);
  Push(51, FrameHeader(5, 640, 480));
  Push(129, picture, 0);
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_EQ(std::memcmp(Ready()->pixels.get(), picture.data(), picture.size()),
            0);
  // A following frame is read where it starts.
  PushFrame(5, 640, 480, 129, Picture(6));
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(Ready()->pixels[0], Picture(6)[0]);
}

TEST_F(ReceiverTest, FramesInPiecesAreAppended) {
  Stream(5);
  const auto picture = Picture(8);
  const std::vector<std::uint8_t> top(picture.begin(),
                                      picture.begin() + 640 * 200);
  const std::vector<std::uint8_t> bottom(picture.begin() + 640 * 200,
                                         picture.end());
  PushFrame(4, 640, 200, 129, top);
  PushFrame(1, 640, 280, 129, bottom);
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_EQ(Ready()->height, 480);
  EXPECT_EQ(std::memcmp(Ready()->pixels.get(), picture.data(), picture.size()),
            0);
}

TEST_F(ReceiverTest, MaskFramesAreDecodedWithoutDetectionWhenItIsOff) {
  Stream(6);
  const auto mask = camsim::RenderMask(640, 480, 0);
  PushFrame(5, 640, 480, 130, camsim::EncodeRuns(mask));
  ASSERT_TRUE(WaitForFrames(1));
  FrameSlot* ready = Ready();
  EXPECT_EQ(std::memcmp(ready->pixels.get(), mask.data(), mask.size()), 0);
  EXPECT_EQ(ready->objectCount, 0);
  std::lock_guard<std::mutex> lock(seen_.mutex);
  EXPECT_TRUE(seen_.alarmMasks.empty());
  EXPECT_TRUE(seen_.objectReports.empty());
  EXPECT_EQ(seen_.lastStreamPixels, mask);
}

TEST_F(ReceiverTest, DetectionReportsTheSameObjectsAsThePublishedSlot) {
  const char* handle = Stream(7);
  record_->detectObjects.store(1);
  record_->minObjectSize.store(50);
  const auto mask = camsim::RenderMask(640, 480, 0);
  PushFrame(5, 640, 480, 130, camsim::EncodeRuns(mask));
  ASSERT_TRUE(WaitForFrames(1));
  FrameSlot* ready = Ready();
  ASSERT_EQ(ready->objectCount, 3);
  std::lock_guard<std::mutex> lock(seen_.mutex);
  ASSERT_EQ(seen_.objectReports.size(), 1u);
  ASSERT_EQ(seen_.objectReports[0].size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const ObjectReport& a = seen_.objectReports[0][i];
    const ObjectReport& b = ready->objects[i];
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "object " << i;
    EXPECT_EQ(a.label, i + 1);
  }
  EXPECT_EQ(seen_.alarmMasks.size(), 1u);
  // Each pixel of the label map names the object it belongs to.
  const ObjectReport& first = ready->objects[0];
  const auto centre = static_cast<std::size_t>(
      static_cast<int>(first.meanY) * 640 + static_cast<int>(first.meanX));
  EXPECT_EQ(ready->labels[centre], 1);
  (void)handle;
}

TEST_F(ReceiverTest, SmallObjectsAreErasedAndNotReported) {
  Stream(8);
  record_->detectObjects.store(1);  // minimum stays 2500
  std::vector<std::uint8_t> mask(640 * 480, 0);
  for (int y = 10; y < 20; ++y) std::memset(&mask[y * 640 + 10], 0xFF, 10);
  PushFrame(5, 640, 480, 130, camsim::EncodeRuns(mask));
  ASSERT_TRUE(WaitForFrames(1));
  FrameSlot* ready = Ready();
  EXPECT_EQ(ready->objectCount, 0);
  EXPECT_EQ(ready->pixels[15 * 640 + 15], 0x00);
  std::lock_guard<std::mutex> lock(seen_.mutex);
  EXPECT_TRUE(seen_.objectReports.empty());
  EXPECT_TRUE(seen_.alarmMasks.empty());
  // The stream callback saw the mask before it was cleaned.
  EXPECT_EQ(seen_.lastStreamPixels[15 * 640 + 15], 0xFF);
}

// The marks are set from the clock just before each frame, and how long the
// frame took is bounded by the clock after it was counted, so every check
// holds however slowly a loaded machine delivers the frame.
TEST_F(ReceiverTest, RateIsRefreshedOnlyAfter800Milliseconds) {
  Stream(9);
  FrameRate& rate = record_->rxRate;
  std::uint32_t mark = 0;
  {
    platform::MutexLock lock(rate.lock);
    mark = platform::TickCount() - 600;
    rate.tickMark = mark;
  }
  PushFrame(5, 640, 480, 129, Picture(1));
  ASSERT_TRUE(WaitForFrames(1));
  std::int32_t countMark = 0;
  {
    platform::MutexLock lock(rate.lock);
    countMark = rate.countMark;
    if (countMark == 0) {
      EXPECT_EQ(rate.fps, 0.0f);
      EXPECT_EQ(rate.tickMark, mark);
    } else {
      // Refreshed: only right if the frame came more than 800 ms after
      // the mark.
      EXPECT_EQ(countMark, 1);
      EXPECT_GT(rate.tickMark - mark, 800u);
    }
  }
  std::uint32_t before = 0;
  {
    platform::MutexLock lock(rate.lock);
    before = platform::TickCount();
    mark = rate.tickMark = before - 1000;
  }
  PushFrame(5, 640, 480, 129, Picture(2));
  ASSERT_TRUE(WaitForFrames(2));
  const std::uint32_t after = platform::TickCount();
  float expected = 0.0f;
  {
    platform::MutexLock lock(rate.lock);
    EXPECT_EQ(rate.countMark, 2);
    const std::uint32_t refreshedAt = rate.tickMark;
    EXPECT_GE(refreshedAt, before);
    EXPECT_LE(refreshedAt, after);
    expected = static_cast<float>(static_cast<double>(2 - countMark) /
                                  (refreshedAt - mark) * 1000.0);
    EXPECT_FLOAT_EQ(rate.fps, expected);
  }
  double fps = 0;
  ASSERT_EQ(rvx_GetFPS(record_->name, RVX_FPS_RECEIVED, &fps), 1);
  EXPECT_FLOAT_EQ(static_cast<float>(fps), expected);
}

TEST_F(ReceiverTest, BrokenPacketsNeverWedgeTheStream) {
  Stream(10);
  // A piece that runs past the end of its frame: the frame is filled, the
  // rest read and dropped. (A single packet longer than a whole frame
  // breaks the protocol and loses the camera; the fault tests show that.)
  Push(51, FrameHeader(4, 640, 240));
  Push(129, std::vector<std::uint8_t>(640 * 480 - 100, 0x41));
  Push(51, FrameHeader(1, 640, 240));
  Push(129, std::vector<std::uint8_t>(5000, 0x42));
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_EQ(Ready()->pixels[640 * 480 - 1], 0x42);
  // A negative length is a whole frame.
  Push(51, FrameHeader(5, 640, 480));
  Push(129, Picture(4), -7);
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(Ready()->pixels[1], Picture(4)[1]);
  // Unknown types, data outside a frame and a bad frame header, each with
  // a body, are read past.
  Push(77, std::vector<std::uint8_t>(100, 0x33));
  Push(129, std::vector<std::uint8_t>(64, 0x51));
  Push(51, std::vector<std::uint8_t>(20, 0x51));
  // A frame that never completes gives way to the next start.
  PushFrame(4, 640, 480, 129, Picture(9));
  const auto last = Picture(10);
  PushFrame(5, 640, 480, 129, last);
  ASSERT_TRUE(WaitForFrames(3));
  EXPECT_EQ(std::memcmp(Ready()->pixels.get(), last.data(), last.size()), 0);
  EXPECT_EQ(ReceivedFrames(*record_), 3);
}

TEST_F(ReceiverTest, FramePushedBeforeTheStartIsDropped) {
  camera_ = &Serve(4, 11);
  camera_->SetAutoStream(false);
  const char* handle =
      rvx_ConnectCameraNoDisplayA(LoopbackAddress(4, 11).c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  record_ = Record(handle);
  ASSERT_TRUE(camera_->WaitForDataConnection(kPatienceMs));
  PushFrame(5, 640, 480, 129, Picture(1));
  // The round trip's completion follows the frame on the data channel:
  // once it is back, the receiver has read the whole frame, before the
  // stream was started.
  ASSERT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 1);
  EXPECT_EQ(ReceivedFrames(*record_), 0);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  PushFrame(5, 640, 480, 129, Picture(2));
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_EQ(Ready()->pixels[0], Picture(2)[0]);
  EXPECT_EQ(ReceivedFrames(*record_), 1);
}

TEST_F(ReceiverTest, ClosedDataConnectionStopsFramesQuietly) {
  Stream(12);
  Push(51, FrameHeader(5, 640, 480));
  ASSERT_TRUE(camera_->PushData(std::vector<std::uint8_t>(8)));
  camera_->CloseDataConnection();
  // No data packet of the frame ever arrives, so no count can be right.
  SettleBeforeCheckingAbsence();
  EXPECT_EQ(ReceivedFrames(*record_), 0);
  // The command channel still works, and disconnect is prompt.
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetMiscOption(record_->name, RVX_OPTION_STEP_X, &value), 1);
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectAllCameras();
  EXPECT_LT(platform::TickCount() - start, kStalledMs);
}

TEST_F(ReceiverTest, CompletionOf256TravelsOverTheDataChannel) {
  const char* handle = Stream(13);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 1);
  camera_->SetFault(256, {camsim::Fault::Kind::kLateCompletion, 300, 1});
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 1);
}

}  // namespace
}  // namespace quorvel::test
