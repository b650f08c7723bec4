// Starting and stopping the stream, options and rates.
#include <gtest/gtest.h>

#include <cstring>

#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

void RVX_CALL IgnoreFrame(const char*, uint8_t*, int32_t, int32_t, int32_t) {}

class StreamControlTest : public CameraTest {
 protected:
  const char* Connect(int index, bool flash = false) {
    camera_ = &Serve(5, index);
    camera_->SetAutoStream(false);
    const std::string address = LoopbackAddress(5, index);
    const char* handle = flash
                             ? rvx_FlashConnectCameraA(address.c_str())
                             : rvx_ConnectCameraDisplayA(address.c_str(), 0, 0);
    EXPECT_NE(handle, nullptr);
    camera_->ClearLog();
    return handle;
  }

  std::vector<std::int32_t> Codes() { return camera_->codes(); }

  camsim::CameraServer* camera_ = nullptr;
};

TEST_F(StreamControlTest, NullWindowStartsOnlyTheCallbackForm) {
  const char* handle = Connect(1);
  const CameraRef record = Record(handle);
  rvx_StartVideoStream(handle, 0);
  EXPECT_TRUE(Codes().empty());
  EXPECT_EQ(record->streaming.load(), 0);

  rvx_StartVideoStream2(handle, 0, IgnoreFrame, 9);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{1});
  EXPECT_EQ(record->streaming.load(), 1);
  EXPECT_EQ(record->streamCallback.load(), &IgnoreFrame);
  EXPECT_EQ(record->streamUser.load(), 9);
  EXPECT_TRUE(camera_->model().streaming());
}

TEST_F(StreamControlTest, StartWhileStreamingChangesNothing) {
  const char* handle = Connect(2);
  const CameraRef record = Record(handle);
  rvx_StartVideoStream2(handle, 0, IgnoreFrame, 9);
  {
    platform::MutexLock lock(record->rxRate.lock);
    record->rxRate.frameCount = 17;
  }
  rvx_StartVideoStream2(handle, 0, nullptr, 1);
  rvx_StartVideoStream(handle, 12345);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{1});
  EXPECT_EQ(record->streamCallback.load(), &IgnoreFrame);
  EXPECT_EQ(record->rxRate.frames(), 17);
}

TEST_F(StreamControlTest, StopAlwaysSendsTheStopCommand) {
  const char* handle = Connect(3);
  const CameraRef record = Record(handle);
  rvx_StopVideoStream(handle);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{2});
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  // A refused stop still ends the stream on our side.
  camera_->SetFault(2, {camsim::Fault::Kind::kAckStatus, 1, 1});
  rvx_StopVideoStream(handle);
  EXPECT_EQ(record->streaming.load(), 0);
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{2, 1, 2}));
}

TEST_F(StreamControlTest, RefusedStartLeavesTheStreamStopped) {
  const char* handle = Connect(4);
  camera_->SetFault(1, {camsim::Fault::Kind::kAckStatus, 1, 1});
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  EXPECT_EQ(Record(handle)->streaming.load(), 0);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  EXPECT_EQ(Record(handle)->streaming.load(), 1);
}

TEST_F(StreamControlTest, RatesReadZeroWhileStoppedAndRefuseUnknownSelectors) {
  const char* handle = Connect(5);
  const CameraRef record = Record(handle);
  {
    platform::MutexLock lock(record->rxRate.lock);
    record->rxRate.fps = 25.0f;
  }
  double fps = -1;
  ASSERT_EQ(rvx_GetFPS(handle, RVX_FPS_RECEIVED, &fps), 1);
  EXPECT_EQ(fps, 0.0);
  {
    platform::MutexLock lock(record->rxRate.lock);
    EXPECT_EQ(record->rxRate.fps, 0.0f) << "the stored rate is reset too";
  }
  ASSERT_EQ(rvx_GetFPS(handle, RVX_FPS_DISPLAYED, &fps), 1);
  EXPECT_EQ(fps, 0.0);
  fps = -1;
  EXPECT_EQ(rvx_GetFPS(handle, 43, &fps), 0);
  EXPECT_EQ(rvx_GetFPS(handle, RVX_FPS_RECEIVED, nullptr), 0);
  EXPECT_EQ(fps, -1);
  std::int32_t value = -1;
  EXPECT_EQ(rvx_GetMiscOption(handle, 31, &value), 0);
  EXPECT_EQ(rvx_GetMiscOption(handle, RVX_OPTION_ZOOM_Y, &value), 0);
  EXPECT_EQ(rvx_GetMiscOption(handle, RVX_OPTION_STEP_X, nullptr), 0);
  EXPECT_EQ(value, -1);
}

TEST_F(StreamControlTest, OptionsSetScrollAndZoomFromFloatBits) {
  const char* handle = Connect(6);
  const CameraRef record = Record(handle);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_SCROLL_X, -40), 1);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_SCROLL_Y, 7), 1);
  EXPECT_EQ(record->scrollX.load(), -40);
  EXPECT_EQ(record->scrollY.load(), 7);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ZOOM_X, 0x40000000), 1);
  EXPECT_EQ(record->zoomX.load(), 2.0f);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ZOOM_Y, 0x3F000000), 1);
  EXPECT_EQ(record->zoomY.load(), 0.5f);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ZOOM_X, 2), 1);
  EXPECT_GT(record->zoomX.load(), 0.0f);
  EXPECT_LT(record->zoomX.load(), 1e-40f);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_REDRAW, 0), 1);
  EXPECT_EQ(rvx_SetMiscOption(handle, 20, 0), 0);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_STEP_X, 0), 0);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(StreamControlTest, FlashConnectionRefusesStreamAndCompletion) {
  const char* handle = Connect(7, true);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 0);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  EXPECT_EQ(Record(handle)->streaming.load(), 0);
  SettleBeforeCheckingAbsence();
  EXPECT_TRUE(Codes().empty());
  EXPECT_EQ(camera_->commandBytes(), 0u);
}

TEST_F(StreamControlTest, UnknownHandlesAreRefused) {
  Connect(8);
  std::int32_t value = 0;
  double fps = 0;
  EXPECT_EQ(rvx_SetMiscOption("RVXOSTRL1[2]", RVX_OPTION_SCROLL_X, 1), 0);
  EXPECT_EQ(rvx_GetMiscOption("RVXOSTRL1[1] ", RVX_OPTION_STEP_X, &value), 0);
  EXPECT_EQ(rvx_GetFPS(nullptr, RVX_FPS_RECEIVED, &fps), 0);
  rvx_StartVideoStream2("rvxostrl1[1]", 0, nullptr, 0);
  rvx_StopVideoStream("RVXOSTRL1[9]");
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace quorvel::test
