// Long runs: many connect/stream/disconnect cycles that must leave nothing
// behind, and many cameras streaming while exports race a disconnect.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <thread>

#include "support/camera_fixture.h"
#include "support/camsim_process.h"

namespace quorvel::test {
namespace {

std::atomic<int> frameCalls{0}, streamCalls{0}, alarmCalls{0}, objectCalls{0};

void RVX_CALL OnFrame(const char*, int32_t, int32_t) { ++frameCalls; }
void RVX_CALL OnStream(const char*, uint8_t* pixels, int32_t count, int32_t,
                       int32_t) {
  // Touch the lent buffer end to end, as an application copying it would.
  volatile std::uint8_t sink = 0;
  if (count > 0) sink = pixels[0] ^ pixels[count - 1];
  (void)sink;
  ++streamCalls;
}
void RVX_CALL OnAlarm(const char*, uint8_t*, int32_t) { ++alarmCalls; }
void RVX_CALL OnObjects(const char*, int32_t count, ObjectReport* objects,
                        int32_t) {
  volatile std::int32_t sink = objects[count - 1].pixelCount;
  (void)sink;
  ++objectCalls;
}

void SetAllCallbacks(const char* handle) {
  rvx_SetCallbackReceivedOneFrame(handle, 1, OnFrame);
  rvx_SetCallbackAlarmSignal(handle, 2, OnAlarm);
  rvx_SetCallbackDetectObjectsReport(handle, 3, OnObjects);
}

// How many cycles the long run makes: QUORVEL_SOAK_CYCLES, or 200.
int SoakCycles() {
  const char* text = std::getenv("QUORVEL_SOAK_CYCLES");
  const int cycles = text != nullptr ? std::atoi(text) : 0;
  return cycles > 0 ? cycles : 200;
}

TEST(SoakTest, ConnectStreamDisconnectCyclesLeaveNothingBehind) {
  // Three cameras, one streaming pictures and one motion masks.
  const std::string addresses[] = {LoopbackAddress(9, 1), LoopbackAddress(9, 2),
                                   LoopbackAddress(9, 3)};
  CamsimProcess first(CAMSIM_PROGRAM, addresses[0], {"--fps", "200"});
  CamsimProcess second(CAMSIM_PROGRAM, addresses[1],
                       {"--fps", "200", "--mode", "mask"});
  CamsimProcess third(CAMSIM_PROGRAM, addresses[2], {"--fps", "100"});
  ASSERT_TRUE(first.ready() && second.ready() && third.ready());
  const std::string& address = addresses[0];
  // One cycle first, so that lazily made process-wide things (the
  // resolver, the sanitizers' own threads) are in the baseline.
  const char* handle = rvx_ConnectCameraNoDisplayA(address.c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  rvx_DisconnectAllCameras();
  const int descriptors = OpenDescriptors();
  const int threads = Threads();

  constexpr int kCycles = 200;
  int delivered = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    handle =
        cycle % 3 == 2
            ? rvx_FlashConnectCameraA(address.c_str())
            : (cycle % 3 == 0
                   ? rvx_ConnectCameraDisplayA(address.c_str(), 320, 240)
                   : rvx_ConnectCameraNoDisplayA(address.c_str(), 320, 240));
    ASSERT_NE(handle, nullptr) << "cycle " << cycle;
    SetAllCallbacks(handle);
    rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1);
    rvx_StartVideoStream2(handle, 0, OnStream, 4);
    if (cycle % 3 != 2) {
      const CameraRef record = TheApp().registry().Find(handle);
      delivered += WaitUntil([&] { return record->rxRate.frames() > 0; }, 10000);
    }
    if (cycle % 2 == 0 && cycle % 5 != 0) {
      rvx_DisconnectCamera(handle);
    } else {
      rvx_DisconnectAllCameras();
    }
    ASSERT_EQ(TheApp().registry().count(), 0);
  }
  EXPECT_EQ(delivered, kCycles - kCycles / 3)
      << "every video connection received frames";
  (void)address;
  EXPECT_TRUE(WaitUntil([&] { return Threads() == threads; }, 5000))
      << Threads() << " threads, " << threads << " before";
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(SoakTest, ManyCamerasStreamWhileExportsRaceADisconnect) {
  constexpr int kCameras = 8;
  std::vector<std::unique_ptr<camsim::CameraServer>> servers;
  // Copies of the names: a copy designates whichever camera bears the name
  // at the time of the call, while a returned handle dies with its camera.
  std::vector<std::string> handles;
  int reconnects = 0;
  for (int i = 0; i < kCameras; ++i) {
    const std::string address = LoopbackAddress(9, 10 + i);
    servers.push_back(std::make_unique<camsim::CameraServer>(address));
    ASSERT_TRUE(servers.back()->Start());
    // Half the cameras send motion masks.
    if (i % 2 == 1) servers.back()->model().SetMaskMode(true);
    const char* handle =
        i % 2 == 0 ? rvx_ConnectCameraDisplayA(address.c_str(), 320, 240)
                   : rvx_ConnectCameraNoDisplayA(address.c_str(), 320, 240);
    ASSERT_NE(handle, nullptr);
    SetAllCallbacks(handle);
    rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1);
    rvx_SetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, 100);
    rvx_StartVideoStream2(handle, 0, OnStream, 4);
    handles.push_back(handle);
  }

  // Exports keep running on other threads while cameras come and go.
  std::atomic<bool> stop{false};
  std::vector<std::thread> callers;
  for (int t = 0; t < 2; ++t) {
    callers.emplace_back([&, t] {
      std::int32_t value = 0;
      double fps = 0;
      for (std::uint32_t n = 0; !stop.load(); ++n) {
        const char* handle = handles[(n + t) % kCameras].c_str();
        rvx_GetFPS(handle, RVX_FPS_RECEIVED + static_cast<int>(n % 2), &fps);
        rvx_GetMiscOption(handle, RVX_OPTION_STEP_X + static_cast<int>(n % 4), &value);
        rvx_SetMiscOption(handle, RVX_OPTION_SCROLL_X, static_cast<int32_t>(n % 7));
        rvx_SetSmartMotion(handle, RVX_ITEM_HIGHLIGHT, static_cast<int32_t>(n % 3) - 1);
        rvx_GetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, &value);
        rvx_SetCallbackAlarmSignal(handle, 2, OnAlarm);
        platform::SleepMs(1);
      }
    });
  }
  // Until enough has happened, however slow the machine.
  const auto enough = [&] {
    return reconnects > 10 && streamCalls.load() > 1000 &&
           frameCalls.load() > 1000 && objectCalls.load() > 100 &&
           alarmCalls.load() > 100;
  };
  const std::uint32_t start = platform::TickCount();
  while (!enough() && platform::TickCount() - start < 120000) {
    platform::SleepMs(100);
    // The newest camera goes and comes back under the callers' feet; it
    // gets the same name again.
    rvx_DisconnectCamera(handles.back().c_str());
    const char* again = rvx_ConnectCameraNoDisplayA(
        LoopbackAddress(9, 10 + kCameras - 1).c_str(), 320, 240);
    ASSERT_STREQ(again, handles.back().c_str());
    SetAllCallbacks(again);
    rvx_SetSmartMotion(again, RVX_ITEM_DETECT_OBJECTS, 1);
    rvx_StartVideoStream2(again, 0, OnStream, 4);
    ++reconnects;
  }
  stop.store(true);
  for (auto& caller : callers) caller.join();
  // Every camera is still received, the newest one once its rate has been
  // measured.
  for (int i = 0; i < kCameras; ++i) {
    double fps = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
          return rvx_GetFPS(handles[i].c_str(), RVX_FPS_RECEIVED, &fps) == 1 && fps > 5.0;
        },
        10000))
        << handles[i] << " at " << fps;
  }
  rvx_DisconnectAllCameras();
  for (auto& server : servers) server->Stop();
  EXPECT_GT(reconnects, 10);
  EXPECT_GT(streamCalls.load(), 1000);
  EXPECT_GT(frameCalls.load(), 1000);
  EXPECT_GT(objectCalls.load(), 100);
  EXPECT_GT(alarmCalls.load(), 100);
}

// Callbacks that call back into the library, as applications do: rates,
// options, settings and image export, on the receiver thread.
std::atomic<int> reentrantCalls{0};
void RVX_CALL ReenterOnStream(const char* handle, uint8_t* pixels,
                              int32_t count, int32_t, int32_t) {
  double fps = 0;
  std::int32_t value = 0;
  rvx_GetFPS(handle, RVX_FPS_RECEIVED, &fps);
  rvx_GetMiscOption(handle, RVX_OPTION_DISPLAY_WIDTH, &value);
  rvx_SetMiscOption(handle, RVX_OPTION_SCROLL_Y, count % 5);
  rvx_SetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, 50 + count % 7);
  rvx_GetSmartMotion(handle, RVX_ITEM_HIGHLIGHT, &value);
  std::uint8_t converted[4 * 4 * 4];
  if (count >= 16) rvx_RawImageToBmpImage(pixels, converted, 4, 4, 32, 53);
  ++reentrantCalls;
}
void RVX_CALL ReenterOnObjects(const char* handle, int32_t, ObjectReport*,
                               int32_t) {
  rvx_SetSmartMotion(handle, RVX_ITEM_HIGHLIGHT, 0);
  rvx_SetCallbackAlarmSignal(handle, 2, OnAlarm);
}

TEST(SoakTest, CallbacksCallExportsWhileStreamsStartAndStop) {
  camsim::CameraServer pictures(LoopbackAddress(9, 30));
  camsim::CameraServer masks(LoopbackAddress(9, 31));
  ASSERT_TRUE(pictures.Start() && masks.Start());
  pictures.SetFrameRate(200);
  masks.SetFrameRate(200);
  masks.model().SetMaskMode(true);
  const char* handles[] = {
      rvx_ConnectCameraDisplayA(pictures.address().c_str(), 320, 240),
      rvx_ConnectCameraNoDisplayA(masks.address().c_str(), 320, 240)};
  for (const char* handle : handles) {
    ASSERT_NE(handle, nullptr);
    rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1);
    rvx_SetSmartMotion(handle, RVX_ITEM_MIN_OBJECT_SIZE, 50);
    rvx_SetCallbackDetectObjectsReport(handle, 3, ReenterOnObjects);
    rvx_SetCallbackReceivedOneFrame(handle, 1, OnFrame);
  }
  const int cycles = std::max(20, SoakCycles() / 10);
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const int before = reentrantCalls.load();
    for (const char* handle : handles) {
      rvx_StartVideoStream2(handle, 0, ReenterOnStream, cycle);
    }
    // Each stream window lasts until a callback has come back into the
    // library, however long the machine takes for it.
    ASSERT_TRUE(WaitUntil([&] { return reentrantCalls.load() > before; },
                          10000))
        << "cycle " << cycle;
    for (const char* handle : handles) rvx_StopVideoStream(handle);
  }
  rvx_DisconnectAllCameras();
  pictures.Stop();
  masks.Stop();
  EXPECT_GE(reentrantCalls.load(), cycles);
}

// Connects that race disconnect-all: none may leave a camera the registry
// no longer knows, a callback after the disconnect-all returned, or a
// thread or descriptor behind.
std::atomic<int> disconnectsStarted{0}, disconnectsReturned{0};
std::atomic<int> lateCallbacks{0};
std::vector<std::atomic<int>>* streamEpochs = nullptr;
void RVX_CALL CheckNotLate(const char*, uint8_t*, int32_t, int32_t,
                           int32_t generation) {
  // Started before a disconnect-all that has returned since: too late.
  if (disconnectsReturned.load() >
      (*streamEpochs)[static_cast<std::size_t>(generation)].load()) {
    ++lateCallbacks;
  }
}

TEST(SoakTest, ConnectLoopBesideDisconnectAllLoopLeavesNothingBehind) {
  const std::string addresses[] = {LoopbackAddress(9, 40),
                                   LoopbackAddress(9, 41)};
  CamsimProcess first(CAMSIM_PROGRAM, addresses[0], {"--fps", "200"});
  CamsimProcess second(CAMSIM_PROGRAM, addresses[1], {"--fps", "200"});
  ASSERT_TRUE(first.ready() && second.ready());
  ASSERT_NE(rvx_ConnectCameraNoDisplayA(addresses[0].c_str(), 160, 120),
            nullptr);
  rvx_DisconnectAllCameras();
  const int descriptors = OpenDescriptors();
  const int threads = Threads();

  const int cycles = SoakCycles();
  std::vector<std::atomic<int>> epochs(static_cast<std::size_t>(cycles));
  for (auto& epoch : epochs) epoch.store(INT_MAX);
  streamEpochs = &epochs;
  std::atomic<bool> connecting{true};
  int unfindable = 0, connected = 0;
  std::atomic<int> attempts{0};
  std::thread connector([&] {
    for (int g = 0; g < cycles; ++g) {
      const int before = disconnectsStarted.load();
      const char* handle = rvx_ConnectCameraNoDisplayA(
          addresses[g % 2].c_str(), 160, 120);
      ++attempts;
      if (handle == nullptr) continue;
      ++connected;
      std::int32_t step = 0;
      const bool found = rvx_GetMiscOption(handle, RVX_OPTION_STEP_X, &step) == 1;
      if (!found && disconnectsStarted.load() == before) ++unfindable;
      rvx_StartVideoStream2(handle, 0, CheckNotLate, g);
      epochs[static_cast<std::size_t>(g)].store(disconnectsStarted.load());
    }
    connecting.store(false);
  });
  while (connecting.load()) {
    ++disconnectsStarted;
    rvx_DisconnectAllCameras();
    disconnectsReturned.store(disconnectsStarted.load());
    // Pauses of every length, so that connects are cancelled at every
    // step; every other round also lets one connect start and end with no
    // disconnect-all beside it, so some finish however slow the machine.
    const int mark = attempts.load();
    if (disconnectsStarted.load() % 2 == 0) {
      WaitUntil([&] { return attempts.load() >= mark + 2 || !connecting.load(); },
                kPatienceMs);
    }
    platform::SleepMs(static_cast<std::uint32_t>(disconnectsStarted.load() % 25));
  }
  connector.join();
  rvx_DisconnectAllCameras();
  streamEpochs = nullptr;
  EXPECT_EQ(unfindable, 0);
  EXPECT_EQ(lateCallbacks.load(), 0);
  EXPECT_GT(connected, 0);
  EXPECT_GT(disconnectsStarted.load(), 1);
  EXPECT_EQ(TheApp().registry().count(), 0);
  EXPECT_TRUE(WaitUntil([&] { return Threads() == threads; }, 10000))
      << Threads() << " threads, " << threads << " before";
  EXPECT_TRUE(
      WaitUntil([&] { return OpenDescriptors() == descriptors; }, 10000))
      << OpenDescriptors() << " descriptors, " << descriptors << " before";
}

}  // namespace
}  // namespace quorvel::test
