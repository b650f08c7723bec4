// Shared pieces of the tests that connect the library to simulated cameras.
#pragma once

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#endif

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/camera_lib_app.h"
#include "camera_server.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "quorvel/quorvel.h"
#include "support/deadlines.h"
#include "support/loopback.h"

namespace quorvel::test {

// Polls condition every 2 ms for up to ms milliseconds.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::uint32_t ms = kPatienceMs) {
  const std::uint32_t start = platform::TickCount();
  while (!condition()) {
    if (platform::TickCount() - start > ms) return false;
    platform::SleepMs(2);
  }
  return true;
}

// Before checking that something did not happen (no frame counted, no byte
// sent): a sound library never does it, so this pause cannot fail one, and
// it gives a faulty one the time to show on an idle machine.
inline void SettleBeforeCheckingAbsence() { platform::SleepMs(100); }

#if defined(_WIN32)
// The process's kernel handles (sockets, events, threads) and threads.
inline int OpenDescriptors() {
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count)
             ? static_cast<int>(count)
             : 0;
}
inline int Threads() {
  int count = 0;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}
#else
// Entries of a /proc/self folder: open descriptors or threads.
inline int CountEntries(const char* folder) {
  int count = 0;
  if (DIR* dir = opendir(folder)) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
  }
  return count;
}
inline int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
// Threads of the process. The first thread a process creates also starts
// the sanitizers' own helper thread, so a baseline is taken only after one.
inline int Threads() {
  static const bool warmed = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmed;
  return CountEntries("/proc/self/task");
}

#endif

inline std::vector<std::uint8_t> Pair(std::int32_t a, std::int32_t b) {
  std::vector<std::uint8_t> bytes(8);
  platform::StoreLE32(bytes.data(), static_cast<std::uint32_t>(a));
  platform::StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(b));
  return bytes;
}

// A frame header body {flags, width, lines}.
inline std::vector<std::uint8_t> FrameHeader(std::int32_t flags,
                                             std::int32_t width,
                                             std::int32_t lines) {
  std::vector<std::uint8_t> bytes = Pair(flags, width);
  const std::vector<std::uint8_t> tail = Pair(lines, 0);
  bytes.insert(bytes.end(), tail.begin(), tail.begin() + 4);
  return bytes;
}

// One simulated camera per test on its own loopback address; every camera
// is disconnected when the test ends.
class CameraTest : public ::testing::Test {
 protected:
  camsim::CameraServer& Serve(int block, int index) {
    servers_.push_back(
        std::make_unique<camsim::CameraServer>(LoopbackAddress(block, index)));
    EXPECT_TRUE(servers_.back()->Start()) << LoopbackAddress(block, index);
    return *servers_.back();
  }

  static CameraRef Record(const char* handle) {
    return TheApp().registry().Find(handle);
  }

  static std::int32_t ReceivedFrames(CameraRecord& record) {
    return record.rxRate.frames();
  }

  void TearDown() override {
    rvx_DisconnectAllCameras();
    for (auto& server : servers_) server->Stop();
  }

  std::vector<std::unique_ptr<camsim::CameraServer>> servers_;
};

}  // namespace quorvel::test
