// Smart-motion items against the simulated camera: what is sent, what is
// confirmed by reading back, and what never reaches the camera.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

using camsim::Fault;
using Kind = camsim::Fault::Kind;
using Codes = std::vector<std::int32_t>;
using Clock = std::chrono::steady_clock;

constexpr int kBlock = 6;

std::int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                               start)
      .count();
}

class SettingsTest : public CameraTest {
 protected:
  // A camera connected for video without display, with the connect's own
  // commands cleared from the log.
  const char* ConnectVideo(int index) {
    camera_ = &Serve(kBlock, index);
    const char* handle = rvx_ConnectCameraNoDisplayA(
        LoopbackAddress(kBlock, index).c_str(), 0, 0);
    EXPECT_NE(handle, nullptr);
    camera_->ClearLog();
    return handle;
  }

  const char* ConnectFlash(int index) {
    camera_ = &Serve(kBlock, index);
    const char* handle =
        rvx_FlashConnectCameraA(LoopbackAddress(kBlock, index).c_str());
    EXPECT_NE(handle, nullptr);
    camera_->ClearLog();
    return handle;
  }

  Codes Sent() const { return camera_->codes(); }
  void Forget() { camera_->ClearLog(); }
  camsim::CameraModel& model() { return camera_->model(); }

  camsim::CameraServer* camera_ = nullptr;
};

TEST_F(SettingsTest, LibraryItemsAreKeptWithoutTraffic) {
  const char* handle = ConnectVideo(1);
  ASSERT_NE(handle, nullptr);
  const CameraRef record = Record(handle);

  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, 10000), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_HIGHLIGHT, 3), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1), 1);
  EXPECT_EQ(record->minObjectSize.load(), 10000);
  EXPECT_EQ(record->highlightSelect.load(), 3);
  EXPECT_EQ(record->detectObjects.load(), 1);

  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, &value), 1);
  EXPECT_EQ(value, 10000);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_HIGHLIGHT, &value), 1);
  EXPECT_EQ(value, 3);
  // Object detection is a switch the application sets, never reads.
  value = 77;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, &value), 0);
  EXPECT_EQ(value, 77);

  // A copy of the handle text designates the same camera.
  const std::string copy = handle;
  EXPECT_EQ(rvx_SetSmartMotion(copy.c_str(), RVX_ITEM_MIN_OBJECT_SIZE, -4), 1);
  EXPECT_EQ(record->minObjectSize.load(), -4);
  EXPECT_EQ(Sent(), Codes{});
}

TEST_F(SettingsTest, FlashConnectionKeepsLibraryItemsButRefusesCameraItems) {
  const char* handle = ConnectFlash(2);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, 10000), 1);
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, &value), 1);
  EXPECT_EQ(value, 10000);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1), 1);

  value = 55;
  for (const std::int32_t item :
       {101, 102, 103, 201, 202, 203, 204, 205, 206}) {
    EXPECT_EQ(rvx_GetSmartMotion(handle, item, &value), 0) << item;
  }
  EXPECT_EQ(value, 55);
  for (const std::int32_t item :
       {101, 102, 203, 204, 205, 206, 104, 105, 911, 912}) {
    EXPECT_EQ(rvx_SetSmartMotion(handle, item, 1), 0) << item;
  }
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1101), 0);
  EXPECT_EQ(Sent(), Codes{});
}

TEST_F(SettingsTest, MissingArgumentsAndUnknownItemsAreRefusedWithoutTraffic) {
  const char* handle = ConnectVideo(3);
  ASSERT_NE(handle, nullptr);
  std::int32_t value = 9;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, nullptr), 0);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, nullptr), 0);
  EXPECT_EQ(rvx_GetSmartMotion(nullptr, RVX_ITEM_MIN_OBJECT_SIZE, &value), 0);
  EXPECT_EQ(rvx_SetSmartMotion(nullptr, RVX_ITEM_MIN_OBJECT_SIZE, 1), 0);
  EXPECT_EQ(rvx_GetSmartMotion("RVXOSTRL1[9]", RVX_ITEM_MIN_OBJECT_SIZE, &value), 0);
  EXPECT_EQ(rvx_SetSmartMotion("RVXOSTRL1[9]", RVX_ITEM_MIN_OBJECT_SIZE, 1), 0);
  // Names compare case-sensitively.
  EXPECT_EQ(rvx_SetSmartMotion("rvxostrl1[1]", RVX_ITEM_MIN_OBJECT_SIZE, 1), 0);

  // Read-only, write-only and unknown items.
  for (const std::int32_t item : {201, 202, 0, 100, 106, 200, 210, 910, 913}) {
    EXPECT_EQ(rvx_SetSmartMotion(handle, item, 1), 0) << item;
  }
  for (const std::int32_t item : {104, 105, 209, 911, 912, 0, 200, 210}) {
    EXPECT_EQ(rvx_GetSmartMotion(handle, item, &value), 0) << item;
  }
  EXPECT_EQ(value, 9);
  EXPECT_EQ(Sent(), Codes{});
}

TEST_F(SettingsTest, BooleanItemsConfirmWhenTheCameraReportsTheNewValue) {
  const char* handle = ConnectVideo(4);
  ASSERT_NE(handle, nullptr);

  const auto start = Clock::now();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, 1), 1);
  // The camera gets time to apply the setting before the first read.
  EXPECT_GE(MillisecondsSince(start), 200);
  EXPECT_EQ(Sent(), (Codes{82, 81}));
  std::int32_t value = -1;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, &value), 1);
  EXPECT_EQ(value, 1);

  Forget();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, 0), 1);
  EXPECT_EQ(Sent(), (Codes{83, 81}));

  Forget();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_ALARM_OUTPUT, 1), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_ALARM_OUTPUT, 0), 1);
  EXPECT_EQ(Sent(), (Codes{99, 97, 98, 97}));

  // Item 205 switches the camera's stream to motion masks and back.
  Forget();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MASK_STREAM, 1), 1);
  EXPECT_TRUE(model().maskMode());
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MASK_STREAM, &value), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MASK_STREAM, 0), 1);
  EXPECT_FALSE(model().maskMode());
  EXPECT_EQ(Sent(), (Codes{65570, 65569, 65569, 65571, 65569}));
}

TEST_F(SettingsTest, ConfirmationWaitsForACameraThatAppliesLate) {
  const char* handle = ConnectVideo(5);
  ASSERT_NE(handle, nullptr);
  // The first two reads still report the old state.
  camera_->SetFault(81, Fault{Kind::kReplyValue, 83, 2});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, 1), 1);
  EXPECT_EQ(Sent(), (Codes{82, 81, 81, 81}));
}

// Takes about five seconds: 25 pauses of 200 ms.
TEST_F(SettingsTest, ABooleanSetToAnythingButOneNeverConfirms) {
  const char* handle = ConnectVideo(6);
  ASSERT_NE(handle, nullptr);
  const auto start = Clock::now();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, 5), 0);
  EXPECT_GE(MillisecondsSince(start), 25 * 200);
  Codes expected{82};
  expected.insert(expected.end(), 25, 81);
  EXPECT_EQ(Sent(), expected);
  // The setting stays sent: the camera did switch on.
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_CAMERA_MOTION, &value), 1);
  EXPECT_EQ(value, 1);
}

TEST_F(SettingsTest, AFailedReadBackEndsTheSettingAtOnce) {
  const char* handle = ConnectVideo(7);
  ASSERT_NE(handle, nullptr);
  camera_->SetFault(65538, Fault{Kind::kAckStatus, 1, 1});
  const auto start = Clock::now();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_A, 12), 0);
  // One pause before the read-back, not the 25 of a setting that waits to
  // be confirmed: well under half of those, however loaded the machine.
  EXPECT_LT(MillisecondsSince(start), 25 * 200 / 2);
  EXPECT_EQ(Sent(), (Codes{65537, 65538}));

  // A refused setting is not read back at all.
  Forget();
  camera_->SetFault(65553, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_B, 12), 0);
  EXPECT_EQ(Sent(), (Codes{65553}));
}

TEST_F(SettingsTest, NumericItemsSendTheValueAndConfirmIt) {
  const char* handle = ConnectVideo(8);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_A, 0x01020304), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_B, -2), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_C, 2147483647), 1);
  const auto commands = camera_->commands();
  ASSERT_EQ(commands.size(), 6u);
  EXPECT_EQ(commands[0].code, 65537);
  EXPECT_EQ(commands[0].payload,
            (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(commands[1].code, 65538);
  EXPECT_EQ(commands[2].code, 65553);
  EXPECT_EQ(commands[2].payload,
            (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(commands[4].code, 65585);
  EXPECT_EQ(commands[5].code, 65586);

  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_PARAMETER_B, &value), 1);
  EXPECT_EQ(value, -2);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_PARAMETER_C, &value), 1);
  EXPECT_EQ(value, 2147483647);
}

TEST_F(SettingsTest, Item103MapsItsModesAndRefusesOtherValues) {
  const char* handle = ConnectVideo(9);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1104), 0);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1), 0);
  EXPECT_EQ(Sent(), Codes{});

  // 1103 is an action: acknowledged, never read back.
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1103), 1);
  EXPECT_EQ(Sent(), Codes{117});

  Forget();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1102), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1101), 1);
  EXPECT_EQ(Sent(), (Codes{115, 113, 114, 113}));
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MODE, &value), 1);
  EXPECT_EQ(value, 1101);
  camera_->SetFault(113, Fault{Kind::kReplyValue, 115, 1});
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MODE, &value), 1);
  EXPECT_EQ(value, 1102);

  // A failed acknowledgement of the action is a failure.
  camera_->SetFault(117, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MODE, 1103), 0);
}

TEST_F(SettingsTest, SequencesStopAtTheFirstFailingCommand) {
  const char* handle = ConnectVideo(10);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MOTION_ALL_ON, 0), 1);
  EXPECT_EQ(Sent(), (Codes{99, 82, 130}));
  Forget();
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MOTION_ALL_OFF, 0), 1);
  EXPECT_EQ(Sent(), (Codes{98, 129, 83}));

  Forget();
  camera_->SetFault(82, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MOTION_ALL_ON, 1), 0);
  EXPECT_EQ(Sent(), (Codes{99, 82}));

  Forget();
  camera_->SetFault(98, Fault{Kind::kAckCode, 7, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_MOTION_ALL_OFF, 1), 0);
  EXPECT_EQ(Sent(), (Codes{98}));
}

TEST_F(SettingsTest, ActionItemsAreOneTransactionEach) {
  const char* handle = ConnectVideo(11);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_ACTION_1, 0), 1);
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_ACTION_2, 123), 1);
  EXPECT_EQ(Sent(), (Codes{2561, 2562}));
  EXPECT_TRUE(camera_->commands()[0].payload.empty());
  camera_->SetFault(2562, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_CAMERA_ACTION_2, 0), 0);
}

TEST_F(SettingsTest, SixteenBitReadingsAreScaledAndSignExtended) {
  const char* handle = ConnectVideo(12);
  ASSERT_NE(handle, nullptr);
  std::int32_t value = 0;
  model().SetInternalSps(40);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, 40);
  model().SetInternalSps(6553);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, 6553);
  // Above 6553 the camera's value wraps in the library's 16-bit copy.
  model().SetInternalSps(6554);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, static_cast<std::int16_t>(6554 * 5) / 5);

  model().SetQueryValue(68, 0xFFFF);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_STATUS, &value), 1);
  EXPECT_EQ(value, -1);
  model().SetQueryValue(68, 0x7FFF);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_STATUS, &value), 1);
  EXPECT_EQ(value, 32767);
  EXPECT_EQ(Sent(), (Codes{66, 66, 66, 68, 68}));

  // A failed query leaves the caller's value alone.
  camera_->SetFault(68, Fault{Kind::kAckStatus, 1, 1});
  value = 5;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_STATUS, &value), 0);
  EXPECT_EQ(value, 5);
}

TEST_F(SettingsTest, ADisconnectedCameraIsNoLongerFound) {
  const char* handle = ConnectVideo(13);
  ASSERT_NE(handle, nullptr);
  const std::string name = handle;
  rvx_DisconnectCamera(handle);
  Forget();
  std::int32_t value = 0;
  EXPECT_EQ(rvx_SetSmartMotion(name.c_str(), RVX_ITEM_MIN_OBJECT_SIZE, 1), 0);
  EXPECT_EQ(rvx_GetSmartMotion(name.c_str(), RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_EQ(Sent(), Codes{});
}

}  // namespace
}  // namespace quorvel::test
