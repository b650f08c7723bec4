// Connecting and disconnecting cameras against the simulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <future>

#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

class ConnectTest : public CameraTest {};

// The library's pauses: before a handshake is retried, and after the stop
// command that a disconnect sends while streaming.
constexpr std::uint32_t kRetryPauseMs = 2000;
constexpr std::uint32_t kStopPauseMs = 100;

std::string Address(int index) { return LoopbackAddress(3, index); }

TEST_F(ConnectTest, DisplayConnectionSetsUpTheCamera) {
  camsim::CameraServer& camera = Serve(3, 1);
  const char* handle = rvx_ConnectCameraDisplayA(Address(1).c_str(), 3, 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_STREQ(handle, "RVXOSTRL1[1]");
  const CameraRef record = Record(handle);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(handle, record->name);
  EXPECT_EQ(record->width, 640);
  EXPECT_EQ(record->height, 480);
  EXPECT_EQ(record->pixelFormat, 53);
  EXPECT_EQ(record->connected.load(), 1);
  EXPECT_EQ(record->streaming.load(), 0);
  EXPECT_EQ(record->zoomX.load(), 1.0f);
  EXPECT_EQ(record->highlightSelect.load(), -1);
  EXPECT_EQ(record->minObjectSize.load(), 2500);
  EXPECT_EQ(record->detectObjects.load(), 0);
  EXPECT_NE(record->receiverThread, nullptr);
  EXPECT_NE(record->displayThread, nullptr);
  EXPECT_NE(record->rgbaBuffer, nullptr);
  EXPECT_NE(record->displayBuffer, nullptr);
  for (const FrameSlot* slot :
       {&record->slots.slotA, &record->slots.slotB, &record->slots.slotC}) {
    EXPECT_NE(slot->pixels, nullptr);
  }
  EXPECT_EQ(record->slots.fillSlot, &record->slots.slotA);
  EXPECT_EQ(record->slots.readySlot, &record->slots.slotB);
  EXPECT_EQ(record->slots.showSlot, &record->slots.slotC);
  EXPECT_EQ(record->internalSps, 200) << "the reply to 66 is kept";

  // 129, 66, then 48 with the size in 16-bit words and two ones.
  const auto commands = camera.commands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0].code, 129);
  EXPECT_EQ(commands[1].code, 66);
  EXPECT_EQ(commands[2].code, 48);
  EXPECT_EQ(commands[2].payload,
            (std::vector<std::uint8_t>{0x80, 0x02, 0xE0, 0x01, 1, 0, 1, 0}));
  EXPECT_EQ(camera.dataConnections(), 1);
}

TEST_F(ConnectTest, SizesBelowTheLimitsFallBackToDefaults) {
  const struct {
    std::int32_t width, height, expectWidth, expectHeight;
  } cases[] = {{4, 1, 4, 1},
               {3, 0, 640, 480},
               {-5, -1, 640, 480},
               {5120, 250, 5120, 250}};
  int index = 10;
  for (const auto& c : cases) {
    Serve(3, index);
    const char* handle =
        rvx_ConnectCameraNoDisplayA(Address(index).c_str(), c.width, c.height);
    ASSERT_NE(handle, nullptr) << c.width << "x" << c.height;
    const CameraRef record = Record(handle);
    EXPECT_EQ(record->width, c.expectWidth);
    EXPECT_EQ(record->height, c.expectHeight);
    EXPECT_EQ(record->displayThread, nullptr);
    EXPECT_EQ(record->rgbaBuffer, nullptr);
    ++index;
  }
  // The 5120-wide camera is shown at every third column.
  std::int32_t value = 0;
  const char* wide = "RVXOSTRL1[4]";
  ASSERT_EQ(rvx_GetMiscOption(wide, RVX_OPTION_STEP_X, &value), 1);
  EXPECT_EQ(value, 3);
  ASSERT_EQ(rvx_GetMiscOption(wide, RVX_OPTION_DISPLAY_WIDTH, &value), 1);
  EXPECT_EQ(value, 1707);
  ASSERT_EQ(rvx_GetMiscOption(wide, RVX_OPTION_STEP_Y, &value), 1);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(rvx_GetMiscOption(wide, RVX_OPTION_DISPLAY_HEIGHT, &value), 1);
  EXPECT_EQ(value, 250);
}

TEST_F(ConnectTest, SizesTheFrameRuleCannotCarryAreRefused) {
  camsim::CameraServer& camera = Serve(3, 20);
  EXPECT_EQ(rvx_ConnectCameraDisplayA(Address(20).c_str(), 40000, 10), nullptr);
  EXPECT_EQ(rvx_ConnectCameraDisplayA(Address(20).c_str(), 10, 32768), nullptr);
  EXPECT_EQ(camera.commandConnections(), 0);
  EXPECT_EQ(TheApp().registry().count(), 0);
}

TEST_F(ConnectTest, KnownAddressGivesTheExistingCameraWithoutTraffic) {
  camsim::CameraServer& camera = Serve(3, 21);
  const char* handle = rvx_ConnectCameraNoDisplayA(Address(21).c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  const std::string narrow = Address(21);
  const std::wstring wide(narrow.begin(), narrow.end());
  EXPECT_EQ(rvx_ConnectCameraDisplayW(wide.c_str(), 100, 100), handle);
  EXPECT_EQ(rvx_FlashConnectCameraA(Address(21).c_str()), handle);
  EXPECT_EQ(camera.commandConnections(), 1);
  EXPECT_EQ(camera.commands().size(), 3u);
  EXPECT_EQ(Record(handle)->width, 640);
  EXPECT_EQ(TheApp().registry().count(), 1);
}

TEST_F(ConnectTest, FlashConnectionHasOnlyTheCommandChannel) {
  camsim::CameraServer& first = Serve(3, 22);
  Serve(3, 23);
  ASSERT_NE(rvx_ConnectCameraNoDisplayA(Address(23).c_str(), 0, 0), nullptr);
  const char* handle = rvx_FlashConnectCameraA(Address(22).c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_STREQ(handle, "RVXOSTRL1[2]");
  const CameraRef record = Record(handle);
  EXPECT_EQ(record->width, 640);
  EXPECT_EQ(record->height, 480);
  EXPECT_FALSE(record->dataSocket.valid());
  EXPECT_EQ(record->receiverThread, nullptr);
  EXPECT_EQ(record->displayThread, nullptr);
  EXPECT_EQ(record->slots.slotA.pixels, nullptr);
  EXPECT_EQ(record->connected.load(), 1);
  EXPECT_EQ(first.dataConnections(), 0);
  EXPECT_TRUE(first.commands().empty());
}

TEST_F(ConnectTest, WrongGreetingIsRetriedOnceAfterAPause) {
  camsim::CameraServer& twice = Serve(3, 24);
  twice.SetWrongGreetings(2);
  std::uint32_t start = platform::TickCount();
  EXPECT_EQ(rvx_ConnectCameraDisplayA(Address(24).c_str(), 0, 0), nullptr);
  EXPECT_GE(platform::TickCount() - start, kRetryPauseMs);
  EXPECT_EQ(twice.commandConnections(), 2);
  EXPECT_EQ(twice.dataConnections(), 0);

  camsim::CameraServer& once = Serve(3, 25);
  once.SetWrongGreetings(1);
  EXPECT_NE(rvx_ConnectCameraNoDisplayA(Address(25).c_str(), 0, 0), nullptr);
  EXPECT_EQ(once.commandConnections(), 2);

  camsim::CameraServer& flash = Serve(3, 26);
  flash.SetWrongGreetings(1);
  start = platform::TickCount();
  EXPECT_EQ(rvx_FlashConnectCameraA(Address(26).c_str()), nullptr);
  // No retry, so no wait for the pause before one.
  EXPECT_LT(platform::TickCount() - start, kRetryPauseMs);
  EXPECT_EQ(flash.commandConnections(), 1);
  EXPECT_EQ(TheApp().registry().count(), 1);
}

TEST_F(ConnectTest, NoCameraAtTheAddressFailsAtOnce) {
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(rvx_ConnectCameraDisplayA(DeadAddress().c_str(), 0, 0), nullptr);
  EXPECT_EQ(rvx_FlashConnectCameraA(DeadAddress().c_str()), nullptr);
  EXPECT_EQ(rvx_ConnectCameraDisplayA(nullptr, 0, 0), nullptr);
  EXPECT_EQ(rvx_ConnectCameraDisplayW(nullptr, 0, 0), nullptr);
  // Not a single pause of a retry.
  EXPECT_LT(platform::TickCount() - start, kRetryPauseMs);
  EXPECT_EQ(TheApp().registry().count(), 0);
}

TEST_F(ConnectTest, NamesFollowTheCountOfConnectedCameras) {
  for (int i = 30; i < 34; ++i) Serve(3, i);
  EXPECT_STREQ(rvx_ConnectCameraNoDisplayA(Address(30).c_str(), 0, 0),
               "RVXOSTRL1[1]");
  EXPECT_STREQ(rvx_ConnectCameraNoDisplayA(Address(31).c_str(), 0, 0),
               "RVXOSTRL1[2]");
  EXPECT_STREQ(rvx_FlashConnectCameraA(Address(32).c_str()), "RVXOSTRL1[3]");
  rvx_DisconnectCamera("RVXOSTRL1[3]");
  EXPECT_STREQ(rvx_ConnectCameraDisplayA(Address(33).c_str(), 0, 0),
               "RVXOSTRL1[3]");
  rvx_DisconnectAllCameras();
  EXPECT_EQ(TheApp().registry().count(), 0);
  EXPECT_STREQ(rvx_ConnectCameraNoDisplayA(Address(32).c_str(), 0, 0),
               "RVXOSTRL1[1]");
}

TEST_F(ConnectTest, FailedCommandRollsEverythingBack) {
  const int descriptors = OpenDescriptors();
  const int threads = Threads();
  int index = 40;
  for (const std::int32_t code : {129, 66, 48}) {
    camsim::CameraServer& camera = Serve(3, index);
    camera.SetFault(code, {camsim::Fault::Kind::kAckStatus, 1, 1});
    EXPECT_EQ(rvx_ConnectCameraDisplayA(Address(index).c_str(), 0, 0), nullptr)
        << code;
    EXPECT_EQ(TheApp().registry().count(), 0);
    EXPECT_EQ(camera.codes().back(), code) << "nothing after the failure";
    ++index;
  }
  // The cameras' own sockets and threads go with them.
  for (auto& server : servers_) server->Stop();
  EXPECT_TRUE(WaitUntil([&] { return Threads() == threads; }))
      << Threads() << " threads, " << threads << " before";
  EXPECT_EQ(OpenDescriptors() - descriptors, 0);
}

TEST_F(ConnectTest, RollBackReleasesAReceiverBlockedInAPacket) {
  camsim::CameraServer& camera = Serve(3, 44);
  camera.SetAutoStream(false);
  camera.SetFault(66, {camsim::Fault::Kind::kDelay, 500, 1});
  camera.SetFault(48, {camsim::Fault::Kind::kAckStatus, 1, 1});
  // Half a frame arrives while the camera holds back its answer to 66, so
  // the receiver waits inside a packet when the connect fails at 48.
  std::thread pusher([&] {
    ASSERT_TRUE(camera.WaitForDataConnection(kPatienceMs));
    ASSERT_TRUE(WaitUntil([&] {
      const std::vector<std::int32_t> codes = camera.codes();
      return std::find(codes.begin(), codes.end(), 66) != codes.end();
    }));
    ASSERT_TRUE(camera.PushPacket(51, 12, FrameHeader(5, 640, 480)));
    ASSERT_TRUE(
        camera.PushPacket(129, 640 * 480, std::vector<std::uint8_t>(100)));
  });
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(rvx_ConnectCameraNoDisplayA(Address(44).c_str(), 0, 0), nullptr);
  EXPECT_LT(platform::TickCount() - start, kStalledMs);
  pusher.join();
  EXPECT_EQ(TheApp().registry().count(), 0);
}

TEST_F(ConnectTest, DisconnectStopsTheStreamFirst) {
  camsim::CameraServer& camera = Serve(3, 50);
  camera.SetAutoStream(false);
  const char* handle = rvx_ConnectCameraNoDisplayA(Address(50).c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  ASSERT_EQ(Record(handle)->streaming.load(), 1);
  const CameraRef held = Record(handle);
  std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(handle);
  EXPECT_GE(platform::TickCount() - start, kStopPauseMs);
  EXPECT_EQ(camera.codes().back(), 2);
  EXPECT_EQ(held->connected.load(), 0);
  EXPECT_EQ(held->receiverThread, nullptr);
  EXPECT_EQ(held->slots.slotA.pixels, nullptr);
  EXPECT_EQ(TheApp().registry().count(), 0);

  // Not streaming: nothing is sent and there is no pause, and the camera
  // can be connected again. A loaded machine may stretch any one
  // disconnect past the pause, never all of them: the quickest of a few
  // must be shorter.
  std::uint32_t quickest = UINT32_MAX;
  for (int attempt = 0; attempt < 5 && quickest >= kStopPauseMs; ++attempt) {
    handle = rvx_ConnectCameraNoDisplayA(Address(50).c_str(), 0, 0);
    ASSERT_NE(handle, nullptr);
    camera.ClearLog();
    start = platform::TickCount();
    rvx_DisconnectCamera(handle);
    quickest = std::min(quickest, platform::TickCount() - start);
    EXPECT_TRUE(camera.codes().empty());
  }
  EXPECT_LT(quickest, kStopPauseMs);
  rvx_DisconnectCamera(handle);
  rvx_DisconnectCamera(nullptr);
}

void RVX_CALL DisconnectFromCallback(const char* handle, int32_t,
                                     int32_t user) {
  rvx_DisconnectCamera(handle);
  if (user == 1) rvx_DisconnectAllCameras();
}

TEST_F(ConnectTest, DisconnectFromACallbackDoesNothing) {
  camsim::CameraServer& camera = Serve(3, 51);
  camera.SetAutoStream(false);
  const char* handle = rvx_ConnectCameraNoDisplayA(Address(51).c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  rvx_SetCallbackReceivedOneFrame(handle, 1, DisconnectFromCallback);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  ASSERT_TRUE(camera.PushPacket(51, 12, FrameHeader(5, 640, 480)));
  ASSERT_TRUE(
      camera.PushPacket(129, 640 * 480, std::vector<std::uint8_t>(640 * 480)));
  const CameraRef record = Record(handle);
  ASSERT_TRUE(WaitUntil([&] { return ReceivedFrames(*record) == 1; }));
  EXPECT_EQ(record->connected.load(), 1);
  EXPECT_EQ(TheApp().registry().count(), 1);
}

}  // namespace
}  // namespace quorvel::test
