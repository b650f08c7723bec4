// Every fault a camera can commit, each on a camera of its own while a
// second camera streams undisturbed beside it. For each: the call fails
// with its failure value, nothing crashes or leaks, the undisturbed camera
// keeps its frame rate, and the faulty camera's address connects again.
#include <gtest/gtest.h>

#include <future>
#include <random>

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
    ASSERT_TRUE(
        WaitUntil([&] { return ReceivedFrames(*reference_record_) > 5; }));
    startFrames_ = ReceivedFrames(*reference_record_);
    startTick_ = platform::TickCount();
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
    servers_.back()->model().ClearFaults();
    servers_.back()->model().SetWrongGreetings(0);
    const char* again = ConnectFaulty();
    EXPECT_NE(again, nullptr) << "the address connects again";
    std::int32_t sps = 0;
    EXPECT_EQ(rvx_GetSmartMotion(again, 201, &sps), 1);
    rvx_DisconnectCamera(again);

    // A rate over a few frames says nothing: measure over a second at least.
    const std::uint32_t sofar = platform::TickCount() - startTick_;
    if (sofar < 1000) platform::SleepMs(1000 - sofar);
    const std::uint32_t elapsed = platform::TickCount() - startTick_;
    const std::int32_t frames =
        ReceivedFrames(*reference_record_) - startFrames_;
    const double fps = frames * 1000.0 / std::max<std::uint32_t>(elapsed, 1);
    EXPECT_GT(fps, kReferenceFps * 0.7)
        << frames << " frames in " << elapsed << " ms";
  }

  camsim::CameraServer* reference_ = nullptr;
  const char* referenceHandle_ = nullptr;
  CameraRef reference_record_;
  std::int32_t startFrames_ = 0;
  std::uint32_t startTick_ = 0;
  int faultyIndex_ = 0;
};

TEST_F(FaultMatrixTest, WrongGreeting) {
  Faulty(10).model().SetWrongGreetings(2);
  EXPECT_EQ(ConnectFaulty(), nullptr);
  servers_.back()->model().SetWrongGreetings(1);
  EXPECT_EQ(ConnectFaulty(true), nullptr);
  ExpectRecovery(nullptr);
}

TEST_F(FaultMatrixTest, RefusedAcknowledgement) {
  Faulty(11);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->model().SetFault(66, {Kind::kAckStatus, 5, 1});
  std::int32_t value = -9;
  EXPECT_EQ(rvx_GetSmartMotion(handle, 201, &value), 0);
  EXPECT_EQ(value, -9);
  servers_.back()->model().SetFault(65537, {Kind::kAckCode, 1282, 1});
  EXPECT_EQ(rvx_SetSmartMotion(handle, 203, 5), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, WrongReplyCode) {
  Faulty(12);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->model().SetFault(66, {Kind::kReplyCode, 68, 1});
  std::int32_t value = -9;
  EXPECT_EQ(rvx_GetSmartMotion(handle, 201, &value), 0);
  EXPECT_EQ(value, -9);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, TruncatedAndOversizedReplies) {
  Faulty(13);
  const char* handle = ConnectFaulty(true);
  ASSERT_NE(handle, nullptr);
  std::vector<std::uint8_t> record(372, 0x5A);
  servers_.back()->model().SetFault(520, {Kind::kLongBody, 70000, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, 61, record.data(), 0), 0);
  EXPECT_EQ(record, std::vector<std::uint8_t>(372, 0x5A));
  // The oversized body was read past: the next operation works.
  EXPECT_EQ(rvx_FlashOperation(handle, 61, record.data(), 0), 1);
  std::vector<std::uint8_t> area(524288);
  servers_.back()->model().SetFault(520, {Kind::kShortBody, 1000, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, 922, area.data(), 1), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, CloseInMidReply) {
  Faulty(14);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->model().SetFault(66, {Kind::kCloseMidReply, 0, 1});
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, 201, &value), 0);
  // The command connection is gone: later calls fail, none hangs.
  EXPECT_EQ(rvx_GetSmartMotion(handle, 201, &value), 0);
  EXPECT_EQ(rvx_SetMiscOption(handle, 21, 0), 0);
  ExpectRecovery(handle);
}

TEST_F(FaultMatrixTest, StallReleasedByDisconnect) {
  Faulty(15);
  const char* handle = ConnectFaulty();
  ASSERT_NE(handle, nullptr);
  servers_.back()->model().SetFault(66, {Kind::kStall, 0, 1});
  const std::string name = handle;
  auto stalled = std::async(std::launch::async, [name] {
    std::int32_t value = 0;
    return rvx_GetSmartMotion(name.c_str(), 201, &value);
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
  servers_.back()->model().SetFault(256, {Kind::kLateCompletion, 1000, 1});
  EXPECT_EQ(rvx_SetMiscOption(handle, 21, 0), 1);
  servers_.back()->model().SetFault(256, {Kind::kNoCompletion, 0, 1});
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(rvx_SetMiscOption(handle, 21, 0), 0);
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
  rvx_SetSmartMotion(handle, 209, 1);
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
  EXPECT_EQ(rvx_GetSmartMotion(handle, 201, &value), 0);
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(handle);
  EXPECT_LT(platform::TickCount() - start, 1000u);
  // The camera comes back at the same address.
  servers_.pop_back();
  Serve(8, 19);
  ExpectRecovery(nullptr);
}

}  // namespace
}  // namespace quorvel::test
