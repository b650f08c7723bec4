// The Win32 backend in a real window: it shows what a memory window holds
// for the same frames, at the screen's depth; drawing goes on while the
// window's thread is blocked, and a destroyed window stalls nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <thread>

#include "display/backend/gdi_handles.h"
#include "integration/display_support.h"

namespace quorvel::test {
namespace {

constexpr int kWidth = 700, kHeight = 500;
// Sets the event in wParam, then waits for the window's release event.
constexpr UINT kBlockThread = WM_APP;

// A popup (all client area) whose own thread pumps its messages, as an
// application's window thread does; hwnd is null when none can be made.
struct TestWindow {
  TestWindow() {
    std::promise<HWND> made;
    thread = std::thread([&made] {
      WNDCLASSW kind{};
      kind.lpfnWndProc = Procedure;
      kind.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
      kind.lpszClassName = L"quorvel-gdi-test";
      RegisterClassW(&kind);
      const HWND window = CreateWindowExW(
          0, kind.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
          kHeight, nullptr, nullptr, nullptr, nullptr);
      UpdateWindow(window);  // black now, as memory windows start
      made.set_value(window);
      for (MSG m; window && GetMessageW(&m, nullptr, 0, 0) > 0;) {
        DispatchMessageW(&m);
      }
    });
    hwnd = made.get_future().get();
  }
  ~TestWindow() {
    Destroy();
    CloseHandle(release);
  }
  void Destroy() {
    SetEvent(release);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (thread.joinable()) thread.join();
  }
  static LRESULT CALLBACK Procedure(HWND at, UINT message, WPARAM w, LPARAM l) {
    if (message == kBlockThread) {
      SetEvent(reinterpret_cast<HANDLE>(w));
      WaitForSingleObject(reinterpret_cast<HANDLE>(l), kPatienceMs);
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(at, message, w, l);
  }

  HWND hwnd = nullptr;
  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread;
};

// Every pixel GDI reads from the window, as 8-8-8 or 5-6-5, against the
// memory window.
::testing::AssertionResult Same(HWND hwnd, RvxWindow memory, bool deep) {
  const display::WindowDc dc(hwnd);
  const auto held = display::ReadMemoryWindow(memory);
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const COLORREF c = GetPixel(dc.get(), i % kWidth, i / kWidth);
    const std::uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    const std::uint32_t shown =
        deep ? r << 16 | g << 8 | b : (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    if (c == CLR_INVALID ||
        shown != (held->pixels[i] & (deep ? 0xFFFFFFu : 0xFFFFu))) {
      return ::testing::AssertionFailure()
             << "pixel " << i << ": window " << shown << ", memory "
             << held->pixels[i];
    }
  }
  return ::testing::AssertionSuccess();
}

using GdiTest = CameraTest;

TEST_F(GdiTest, WindowShowsTheMemoryWindowsPixelsAndNeverStalls) {
  TestWindow owner;
  if (owner.hwnd == nullptr) GTEST_SKIP() << "no window (wine without X?)";
  const bool deep =
      GetDeviceCaps(display::WindowDc(owner.hwnd).get(), BITSPIXEL) != 16;
  const RvxWindow windows[] = {
      reinterpret_cast<RvxWindow>(owner.hwnd),
      display::CreateMemoryWindow(kWidth, kHeight, deep ? 24 : 16)};
  CameraRef cameras[2];
  for (int i = 0; i < 2; ++i) {
    const int at = (deep ? 50 : 55) + i;  // the depths may run at once
    Serve(77, at).SetAutoStream(false);
    const char* handle =
        rvx_ConnectCameraDisplayA(LoopbackAddress(77, at).c_str(), 0, 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(servers_[i]->WaitForDataConnection(kPatienceMs));
    rvx_StartVideoStream(handle, windows[i]);
    cameras[i] = Record(handle);
  }
  auto shown = [&] { return cameras[0]->shownRate.frames(); };
  ASSERT_EQ(cameras[0]->screenBitsPerPixel, deep ? 32 : 16);

  // Zoomed past the window's edges and scrolled, then shrunk, which keeps
  // the margins as they were.
  for (const std::int32_t zoom : {0x3FC00000 /* 1.5 */, 0x3F400000}) {
    const auto picture = Pattern(640, 480, static_cast<std::uint32_t>(zoom));
    for (int i = 0; i < 2; ++i) {
      for (const std::int32_t option : {RVX_OPTION_ZOOM_X, RVX_OPTION_ZOOM_Y}) {
        ASSERT_EQ(rvx_SetMiscOption(cameras[i]->name, option, zoom), 1);
      }
      ASSERT_EQ(rvx_SetMiscOption(cameras[i]->name, RVX_OPTION_SCROLL_X, 5), 1);
      const std::int32_t before = cameras[i]->shownRate.frames();
      ASSERT_TRUE(servers_[i]->PushPacket(51, 12, FrameHeader(5, 640, 480)));
      ASSERT_TRUE(servers_[i]->PushPacket(129, 640 * 480, picture));
      ASSERT_TRUE(
          WaitUntil([&] { return cameras[i]->shownRate.frames() > before; }));
    }
    EXPECT_TRUE(Same(owner.hwnd, windows[1], deep)) << "zoom bits " << zoom;
  }

  // A streaming camera draws on while the window's thread takes no message.
  servers_[0]->SetFrameRate(200);
  servers_[0]->SetAutoStream(true);
  rvx_StopVideoStream(cameras[0]->name);
  rvx_StartVideoStream(cameras[0]->name, windows[0]);
  const HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PostMessageW(owner.hwnd, kBlockThread, reinterpret_cast<WPARAM>(entered),
               reinterpret_cast<LPARAM>(owner.release));
  EXPECT_EQ(WaitForSingleObject(entered, kPatienceMs), WAIT_OBJECT_0);
  CloseHandle(entered);
  const std::int32_t blocked = shown();
  EXPECT_TRUE(WaitUntil([&] { return shown() >= blocked + 20; }));

  // Once the window has gone only a frame already past the check may be
  // counted; the others are taken and dropped.
  owner.Destroy();
  const std::int32_t atDestroy = shown();
  const std::int32_t received = ReceivedFrames(*cameras[0]);
  EXPECT_TRUE(
      WaitUntil([&] { return ReceivedFrames(*cameras[0]) >= received + 40; }));
  EXPECT_LE(shown(), atDestroy + 1);
  EXPECT_EQ(rvx_SetMiscOption(cameras[0]->name, RVX_OPTION_REDRAW, 0), 1);
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(cameras[0]->name);
  EXPECT_LT(platform::TickCount() - start, kStalledMs);
}

}  // namespace
}  // namespace quorvel::test
