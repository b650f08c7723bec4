// The DLL's end with a streaming camera: unloading it with FreeLibrary and
// ending the process both disconnect the camera, promptly, although the
// loader lock forbids joining the camera's threads.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "camera_server.h"
#include "platform/clock.h"
#include "quorvel/quorvel.h"
#include "support/deadlines.h"

namespace {

using quorvel::platform::TickCount;

// The library's unload sends the stop command to a streaming camera.
constexpr std::int32_t kStopStream = 2;
// Frees or exits in this time, though a stop takes at most 2 s and a
// thread wait 10 s: nothing here may wait on a thread's exit.
constexpr std::uint32_t kUnloadBoundMs = 15000;

std::atomic<int> frames{0};
void RVX_CALL OnStream(const char*, std::uint8_t*, std::int32_t, std::int32_t,
                       std::int32_t) {
  frames.fetch_add(1);
}

bool WaitFor(bool (*condition)(const camsim::CameraServer&),
             const camsim::CameraServer& camera, std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  while (!condition(camera)) {
    if (TickCount() - start > ms) return false;
    Sleep(2);
  }
  return true;
}

bool Stopped(const camsim::CameraServer& camera) {
  const std::vector<std::int32_t> codes = camera.codes();
  return std::find(codes.begin(), codes.end(), kStopStream) != codes.end();
}

// A program beside this one.
std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

TEST(UnloadTest, FreeLibraryDisconnectsAStreamingCamera) {
  camsim::CameraServer camera("127.0.77.1");
  ASSERT_TRUE(camera.Start());
  HMODULE library = LoadLibraryW(L"quorvel.dll");
  ASSERT_NE(library, nullptr);
  const auto connect = reinterpret_cast<decltype(&rvx_ConnectCameraNoDisplayA)>(
      GetProcAddress(library, "rvx_ConnectCameraNoDisplayA"));
  const auto start = reinterpret_cast<decltype(&rvx_StartVideoStream2)>(
      GetProcAddress(library, "rvx_StartVideoStream2"));
  ASSERT_TRUE(connect != nullptr && start != nullptr);
  const char* handle = connect("127.0.77.1", 160, 120);
  ASSERT_NE(handle, nullptr);
  start(handle, 0, OnStream, 0);
  const std::uint32_t since = TickCount();
  while (frames.load() < 3) {
    ASSERT_LT(TickCount() - since, quorvel::test::kPatienceMs) << "no frames";
    Sleep(2);
  }

  const std::uint32_t freeing = TickCount();
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_LT(TickCount() - freeing, kUnloadBoundMs);
  EXPECT_TRUE(Stopped(camera)) << "the camera was not told to stop";
  // Nothing of the library runs any more: no frame reaches the callback.
  const int seen = frames.load();
  Sleep(200);
  EXPECT_EQ(frames.load(), seen);
}

TEST(UnloadTest, ExitWhileStreamingEndsInTime) {
  camsim::CameraServer camera("127.0.77.2");
  ASSERT_TRUE(camera.Start());
  std::wstring command = L"\"" + Beside(L"exit_while_streaming.exe") +
                         L"\" 127.0.77.2";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::uint32_t started = TickCount();
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                             0, nullptr, nullptr, &startup, &process));
  // Connect and stream start take a moment, the exit a bounded teardown.
  const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the process did not end";
  EXPECT_EQ(status, 0u) << "it never streamed";
  EXPECT_LT(TickCount() - started, 30000u);
  // The library's end at process exit told the camera to stop.
  EXPECT_TRUE(WaitFor(Stopped, camera, 5000));
}

}  // namespace
