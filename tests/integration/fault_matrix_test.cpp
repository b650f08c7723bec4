// Every fault a camera can commit, each on a camera of its own while a
// second camera streams undisturbed beside it. For each: the call fails
// with its failure value, nothing crashes or leaks, the undisturbed camera
// keeps its frame rate, and the faulty camera's address connects again.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <spawn.h>
#include <sys/wait.h>
#endif

#include <climits>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

using Kind = camsim::Fault::Kind;
constexpr double kReferenceFps = 50.0;

class FaultMatrixTest : public CameraTest {
 protected:
  // The faulty camera at 127.0.8.index, and its undisturbed neighbour at
  // 127.0.8.(100 + index): CTest runs the cases of this file in parallel, so
  // no two cases may share a camera address.
  camsim::CameraServer& Faulty(int index) {
    StartReference(100 + index);
    faultyIndex_ = index;
    return Serve(8, index);
  }
  std::string FaultyAddress() const { return LoopbackAddress(8, faultyIndex_); }

  void StartReference(int index) {
    reference_ = &Serve(8, index);
    reference_->SetFrameRate(kReferenceFps);
    referenceHandle_ = rvx_ConnectCameraNoDisplayA(
        LoopbackAddress(8, index).c_str(), 160, 120);
    ASSERT_NE(referenceHandle_, nullptr);
    rvx_StartVideoStream2(referenceHandle_, 0, nullptr, 0);
    reference_record_ = Record(referenceHandle_);
    ASSERT_TRUE(WaitUntil([&] { return ReferenceFrames() > 5; }, 10000));
  }

  const char* ConnectFaulty(bool flash = false) {
    return flash
               ? rvx_FlashConnectCameraA(FaultyAddress().c_str())
               : rvx_ConnectCameraNoDisplayA(FaultyAddress().c_str(), 160, 120);
  }

  // Disconnects the faulty camera, checks that its address connects again,
  // and that the reference camera kept its rate all along.
  void ExpectRecovery(const char* handle) {
    if (handle != nullptr) rvx_DisconnectCamera(handle);
    EXPECT_EQ(Record(referenceHandle_), reference_record_);
    EXPECT_EQ(TheApp().registry().count(), 1);
    servers_.back()->ClearFaults();
    servers_.back()->SetWrongGreetings(0);
    const char* again = ConnectFaulty();
    EXPECT_NE(again, nullptr) << "the address connects again";
    std::int32_t sps = 0;
    EXPECT_EQ(rvx_GetSmartMotion(again, RVX_ITEM_INTERNAL_SPS, &sps), 1);
    rvx_DisconnectCamera(again);

    // The neighbour was never held up: its frames keep coming. (A rate
    // would say more, but not on a loaded machine.)
    const std::int32_t before = ReferenceFrames();
    EXPECT_TRUE(WaitUntil([&] { return ReferenceFrames() >= before + 10; },
                          10000))
        << "the undisturbed camera stopped receiving";
  }

  std::int32_t ReferenceFrames() const {
    return ReceivedFrames(*reference_record_);
  }

  camsim::CameraServer* reference_ = nullptr;
  const char* referenceHandle_ = nullptr;
  CameraRef reference_record_;
  int faultyIndex_ = 0;
};

TEST_F(FaultMatrixTest, WrongGreeting) {
  Faulty(10).SetWrongGreetings(2);
  EXPECT_EQ(ConnectFaulty(), nullptr);
  servers_.back()->SetWrongGreetings(1);
  EXPECT_EQ(ConnectFaulty(true), nullptr);
  ExpectRecovery(nullptr);
}

TEST_F(FaultMatrixTest, RefusedAcknowledgement) {
  Faulty(11);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->SetFault(66, {Kind::kAckStatus, 5, 1});
  std::int32_t value = -9;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_EQ(value, -9);
  servers_.back()->SetFault(65537, {Kind::kAckCode, 1282, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_A, 5), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, WrongReplyCode) {
  Faulty(12);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->SetFault(66, {Kind::kReplyCode, 68, 1});
  std::int32_t value = -9;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_EQ(value, -9);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, TruncatedAndOversizedReplies) {
  Faulty(13);
  const char* handle = ConnectFaulty(true);
  ASSERT_NE(handle, nullptr);
  std::vector<std::uint8_t> record(372, 0x5A);
  servers_.back()->SetFault(520, {Kind::kLongBody, 70000, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, record.data(), 0), 0);
  EXPECT_EQ(record, std::vector<std::uint8_t>(372, 0x5A));
  // The oversized body was read past: the next operation works.
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, record.data(), 0), 1);
  std::vector<std::uint8_t> area(524288);
  servers_.back()->SetFault(520, {Kind::kShortBody, 1000, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, area.data(), 1), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, CloseInMidReply) {
  Faulty(14);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->SetFault(66, {Kind::kCloseMidReply, 0, 1});
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  // The command connection is gone: later calls fail, none hangs.
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, StallReleasedByDisconnect) {
  Faulty(15);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->SetFault(66, {Kind::kStall, 0, 1});
  const std::string name = handle;
  auto stalled = std::async(std::launch::async, [name] {
    std::int32_t value = 0;
    return rvx_GetSmartMotion(name.c_str(), RVX_ITEM_INTERNAL_SPS, &value);
  });
  EXPECT_EQ(stalled.wait_for(std::chrono::milliseconds(300)),
            std::future_status::timeout);
  rvx_DisconnectCamera(handle);
  ASSERT_EQ(stalled.wait_for(std::chrono::seconds(5)),
            std::future_status::ready);
  EXPECT_EQ(stalled.get(), 0);
  ExpectRecovery(nullptr);
}

TEST_F(FaultMatrixTest, LateAndMissingCompletion) {
  Faulty(16);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->SetFault(256, {Kind::kLateCompletion, 1000, 1});
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 1);
  servers_.back()->SetFault(256, {Kind::kNoCompletion, 0, 1});
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 0);
  EXPECT_GE(platform::TickCount() - start, 5000u);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, DataConnectionResetMidFrame) {
  camsim::CameraServer& camera = Faulty(17);
  camera.SetAutoStream(false);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  ASSERT_TRUE(camera.PushPacket(51, 12, FrameHeader(5, 160, 120)));
  ASSERT_TRUE(
      camera.PushPacket(129, 160 * 120, std::vector<std::uint8_t>(5000, 1)));
  camera.CloseDataConnection();
  platform::SleepMs(100);
  EXPECT_EQ(ReceivedFrames(*Record(handle)), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, GarbagePacketTypesAndLengths) {
  camsim::CameraServer& camera = Faulty(18);
  camera.SetAutoStream(false);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  std::mt19937 random(7);
  std::vector<std::uint8_t> garbage(200000);
  for (auto& byte : garbage) byte = static_cast<std::uint8_t>(random());
  // Headers of every known type with wild lengths, then noise.
  for (const std::int32_t type : {51, 129, 130, 256, -1, 0x7FFFFFFF}) {
    for (const std::int32_t length : {-2147483647 - 1, -1, 0, 3, 12, 100000}) {
      if (length > 0 && length != 12 && type != 51) continue;
      ASSERT_TRUE(camera.PushData(Pair(type, length)));
    }
  }
  ASSERT_TRUE(camera.PushData(garbage));
  platform::SleepMs(200);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, CameraVanishesWhileStreaming) {
  Faulty(19);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  const CameraRef record = Record(handle);
  ASSERT_TRUE(WaitUntil([&] { return ReceivedFrames(*record) > 2; }));
  servers_.back()->Stop();
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(handle);
  EXPECT_LT(platform::TickCount() - start, 1000u);
  // The camera comes back at the same address.
  servers_.pop_back();
  Serve(8, 19);
  ExpectRecovery(nullptr);
}


// Losses as the application sees them: which were reported, how often.
struct Losses {
  std::mutex mutex;
  std::vector<std::int32_t> reasons;
  std::vector<std::string> handles;
  std::vector<std::int32_t> Reasons() {
    std::lock_guard<std::mutex> lock(mutex);
    return reasons;
  }
};
Losses losses;
void RVX_CALL OnLost(const char* handle, std::int32_t reason, std::int32_t) {
  std::lock_guard<std::mutex> lock(losses.mutex);
  losses.reasons.push_back(reason);
  losses.handles.emplace_back(handle);
}

std::uint32_t Since(std::uint32_t start) { return platform::TickCount() - start; }

double ReceivedFps(const char* handle) {
  double fps = -1;
  EXPECT_EQ(rvx_GetFPS(handle, RVX_FPS_RECEIVED, &fps), 1);
  return fps;
}

TEST_F(FaultMatrixTest, StalledStopCommandHoldsNeitherStopNorDisconnect) {
  camsim::CameraServer& camera = Faulty(20);
  const int threads = Threads();
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  camera.SetFault(2, {Kind::kNoAnswer, 0, -1});
  std::uint32_t start = platform::TickCount();
  rvx_StopVideoStream(handle);
  EXPECT_LT(Since(start), 15000u) << "stop";

  // A camera that takes the stop in silence while it streams.
  rvx_DisconnectCamera(handle);
  handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  // The record owns the camera's sockets and buffers: once nothing holds
  // it, they are gone. (The simulated camera keeps its own descriptors.)
  const std::weak_ptr<CameraRecord> record = Record(handle);
  start = platform::TickCount();
  rvx_DisconnectCamera(handle);
  EXPECT_LT(Since(start), 15000u) << "disconnect";
  EXPECT_TRUE(WaitUntil([&] { return Threads() == threads; }, 10000));
  EXPECT_TRUE(WaitUntil([&] { return record.expired(); }, 10000));
  ExpectRecovery(nullptr);
}

// The Windows build ends a streaming process in tests/windows instead.
#if !defined(_WIN32)
TEST_F(FaultMatrixTest, StalledCameraHoldsNeitherDisconnectAllNorExit) {
  camsim::CameraServer& camera = Serve(8, 21);
  camera.SetFault(2, {Kind::kNoAnswer, 0, -1});
  const char* handle =
      rvx_ConnectCameraNoDisplayA(LoopbackAddress(8, 21).c_str(), 160, 120);
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  std::uint32_t start = platform::TickCount();
  rvx_DisconnectAllCameras();
  EXPECT_LT(Since(start), 15000u) << "disconnect-all";

  // The unload of the library at exit disconnects the streaming camera.
  char program[] = EXIT_WHILE_STREAMING_PROGRAM;
  std::string address = LoopbackAddress(8, 21);
  char* argv[] = {program, address.data(), nullptr};
  pid_t child = -1;
  start = platform::TickCount();
  ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
  int status = -1;
  ASSERT_TRUE(WaitUntil([&] { return waitpid(child, &status, WNOHANG) > 0; },
                        60000));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // Its connect and stream start take a moment; the exit itself a bounded
  // teardown beyond them.
  EXPECT_LT(Since(start), 30000u) << "exit";
  EXPECT_GE(camera.dataConnections(), 2);
}
#endif

TEST_F(FaultMatrixTest, SilentCameraFailsConnectsAndStalledCallsInTime) {
  camsim::CameraServer& camera = Faulty(22);
  camera.SetSilentGreeting(true);
  std::uint32_t start = platform::TickCount();
  EXPECT_EQ(ConnectFaulty(true), nullptr);
  EXPECT_EQ(ConnectFaulty(), nullptr);
  EXPECT_LT(Since(start), 60000u);
  camera.SetSilentGreeting(false);

  // A transaction whose camera stops mid-reply: 0 after the idle time-out,
  // the camera lost, and later calls fail at once.
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_SetCallbackCameraLost(handle, 0, OnLost);
  camera.SetFault(66, {Kind::kStall, 0, 1});
  std::int32_t value = -9;
  start = platform::TickCount();
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_LT(Since(start), 30000u);
  EXPECT_EQ(value, -9);
  start = platform::TickCount();
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_LT(Since(start), 1000u);
  ASSERT_TRUE(WaitUntil([] { return !losses.Reasons().empty(); }));
  EXPECT_EQ(losses.Reasons(),
            std::vector<std::int32_t>{RVX_LOST_COMMAND_TIMEOUT});
  // Connecting the lost camera's address again connects afresh.
  const int before = camera.commandConnections();
  const char* again = ConnectFaulty();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(camera.commandConnections(), before + 1);
  EXPECT_EQ(rvx_GetSmartMotion(again, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, 40);
  ExpectRecovery(again);
}

TEST_F(FaultMatrixTest, StrayBytesAndConcurrentCallsNeverMixAnswers) {
  camsim::CameraServer& camera = Faulty(23);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  camera.model().SetInternalSps(40);
  camera.SetFault(65538, {Kind::kStrayBytes, 6, 1});
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_PARAMETER_A, &value), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
    EXPECT_EQ(value, 40);
  }
  // A wrong reply leaves its value unread; the next call still succeeds.
  camera.SetFault(66, {Kind::kReplyCode, 68, 1});
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 0);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, 40);

  // Two threads query two items at once; each gets its own answer.
  ASSERT_EQ(rvx_SetSmartMotion(handle, RVX_ITEM_PARAMETER_A, 777), 1);
  std::atomic<int> wrong{0};
  auto query = [&](std::int32_t item, std::int32_t expected) {
    for (int i = 0; i < 40; ++i) {
      std::int32_t got = 0;
      if (rvx_GetSmartMotion(handle, item, &got) != 1 || got != expected) {
        ++wrong;
      }
    }
  };
  std::thread other(query, RVX_ITEM_PARAMETER_A, 777);
  query(RVX_ITEM_INTERNAL_SPS, 40);
  other.join();
  EXPECT_EQ(wrong.load(), 0);
  ExpectRecovery(handle);
}

std::atomic<std::int32_t> roundTripResult{-1};
std::atomic<std::uint32_t> roundTripMs{0};
void RVX_CALL RoundTripFromCallback(const char* handle, uint8_t*, int32_t,
                                    int32_t, int32_t) {
  if (roundTripResult.load() != -1) return;
  const std::uint32_t start = platform::TickCount();
  const std::int32_t result =
      rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0);
  roundTripMs.store(Since(start));
  roundTripResult.store(result);
}

TEST_F(FaultMatrixTest, RoundTripFromACallbackFailsAtOnce) {
  Faulty(24);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, RoundTripFromCallback, 0);
  ASSERT_TRUE(WaitUntil([] { return roundTripResult.load() != -1; }, 10000));
  EXPECT_EQ(roundTripResult.load(), 0);
  EXPECT_LT(roundTripMs.load(), 1000u);
  // From the application's thread it still works.
  EXPECT_EQ(rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0), 1);
  ExpectRecovery(handle);
}

std::mutex lineMutex;
std::vector<std::int32_t> lineCounts;
void RVX_CALL RecordLines(const char*, int32_t lines, int32_t) {
  std::lock_guard<std::mutex> lock(lineMutex);
  lineCounts.push_back(lines);
}

TEST_F(FaultMatrixTest, DataLossesAreVisibleAndLineCountsStayInRange) {
  camsim::CameraServer& camera = Faulty(25);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_SetCallbackCameraLost(handle, 7, OnLost);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  // Frames that stop: the rate falls below 1 within 3 s, nothing is lost.
  ASSERT_TRUE(WaitUntil([&] { return ReceivedFps(handle) > 5.0; }, 10000));
  camera.SetAutoStream(false);
  const std::uint32_t silent = platform::TickCount();
  EXPECT_TRUE(WaitUntil([&] { return ReceivedFps(handle) < 1.0; }, 10000));
  EXPECT_LT(Since(silent), 3000u);
  EXPECT_TRUE(losses.Reasons().empty());

  const std::int32_t before = ReceivedFrames(*Record(handle));
  rvx_SetCallbackReceivedOneFrame(handle, 0, RecordLines);
  for (const std::int32_t lines : {-1, INT_MIN, 100000, 60}) {
    ASSERT_TRUE(camera.PushPacket(51, 12, FrameHeader(5, 160, lines)));
    ASSERT_TRUE(camera.PushPacket(129, 0, std::vector<std::uint8_t>(19200)));
  }
  ASSERT_TRUE(WaitUntil(
      [&] { return ReceivedFrames(*Record(handle)) == before + 4; }));
  {
    std::lock_guard<std::mutex> lock(lineMutex);
    EXPECT_EQ(lineCounts, (std::vector<std::int32_t>{0, 0, 120, 60}));
  }

  // A length no packet may have loses the camera, once.
  ASSERT_TRUE(camera.PushPacket(129, 0x7FFFFFFF));
  ASSERT_TRUE(WaitUntil([] { return losses.Reasons().size() == 1; }));
  EXPECT_EQ(losses.Reasons(),
            std::vector<std::int32_t>{RVX_LOST_DATA_PROTOCOL});
  EXPECT_EQ(ReceivedFps(handle), 0.0);
  camera.CloseDataConnection();

  // A closed data connection on a fresh connection of the same address.
  handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  rvx_StartVideoStream2(handle, 0, nullptr, 0);
  ASSERT_TRUE(camera.WaitForDataConnection(5000));
  // Set after the loss: it is reported all the same.
  camera.CloseDataConnection();
  ASSERT_TRUE(WaitUntil([&] { return IsLost(*Record(handle)); }));
  rvx_SetCallbackCameraLost(handle, 8, OnLost);
  ASSERT_TRUE(WaitUntil([] { return losses.Reasons().size() == 2; }));
  EXPECT_EQ(losses.Reasons()[1], RVX_LOST_DATA_CONNECTION);
  EXPECT_EQ(ReceivedFps(handle), 0.0);
  ExpectRecovery(handle);
  EXPECT_EQ(losses.Reasons().size(), 2u) << "each loss is reported once";
}

TEST_F(FaultMatrixTest, ConnectsToOneAddressShareOneCameraAndCanBeCancelled) {
  camsim::CameraServer& camera = Faulty(26);
  camera.SetGreetingDelay(300);
  // Two at once: one record, one pair of connections, one handle.
  auto first = std::async(std::launch::async, [&] { return ConnectFaulty(); });
  auto second = std::async(std::launch::async, [&] { return ConnectFaulty(); });
  const char* handle = first.get();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(second.get(), handle);
  EXPECT_EQ(camera.dataConnections(), 1);
  EXPECT_EQ(TheApp().registry().count(), 2);
  rvx_DisconnectCamera(handle);

  // A first connect that fails takes its waiter with it.
  camera.SetWrongGreetings(2);
  first = std::async(std::launch::async, [&] { return ConnectFaulty(); });
  ASSERT_TRUE(WaitUntil([&] { return camera.commandConnections() >= 2; }));
  second = std::async(std::launch::async, [&] { return ConnectFaulty(); });
  EXPECT_EQ(first.get(), nullptr);
  EXPECT_EQ(second.get(), nullptr);

  // Disconnect-all cancels a connect still waiting for the greeting.
  camera.SetGreetingDelay(20000);
  const int connections = camera.commandConnections();
  first = std::async(std::launch::async, [&] { return ConnectFaulty(); });
  ASSERT_TRUE(
      WaitUntil([&] { return camera.commandConnections() > connections; }));
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectAllCameras();
  EXPECT_EQ(first.get(), nullptr);
  EXPECT_LT(Since(start), 5000u);
  EXPECT_EQ(TheApp().registry().count(), 0);
  camera.SetGreetingDelay(0);
  // The neighbour went with the disconnect-all; the address connects again.
  const char* again = ConnectFaulty();
  EXPECT_NE(again, nullptr);
}

}  // namespace
}  // namespace quorvel::test
