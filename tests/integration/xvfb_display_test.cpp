// The X backend against a private Xvfb: what the server shows in a real
// window must equal what the memory backend holds for the same frames, at
// depth 24 and 16, with MIT-SHM and with plain image requests; a window
// destroyed under the stream must neither crash nor stall the library.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "display/backend/memory_windows.h"
#include "display/backend/xcb_options.h"
#include "display_support.h"
#include "xvfb_client.h"
#include "xvfb_server.h"

namespace quorvel::test {
namespace {

constexpr std::int32_t kWindowWidth = 700;
constexpr std::int32_t kWindowHeight = 500;

struct Feed {
  camsim::CameraServer* camera = nullptr;
  const char* handle = nullptr;
  CameraRef record;
};

class XvfbTest : public CameraTest {
 protected:
  // Starts the server; the caller returns when the test was skipped.
  void StartServer(int depth) {
    std::string whyNot;
    server_ = XvfbServer::Start(1024, 768, depth, &whyNot);
    if (server_ == nullptr && XvfbServer::FindProgram().empty()) {
      GTEST_SKIP() << whyNot;
    }
    ASSERT_NE(server_, nullptr) << whyNot;
    // The library's connections find the server as an application's would.
    ::setenv("DISPLAY", server_->display().c_str(), 1);
    client_ = std::make_unique<XClient>(server_->display());
    ASSERT_TRUE(client_->ok());
  }

  void TearDown() override {
    CameraTest::TearDown();
    display::SetXcbSharedMemoryAllowed(true);
    client_.reset();
    server_.reset();
  }

  Feed Open(int index, bool autoStream = false) {
    Feed feed;
    feed.camera = &Serve(7, index);
    feed.camera->SetAutoStream(autoStream);
    feed.handle =
        rvx_ConnectCameraDisplayA(LoopbackAddress(7, index).c_str(), 0, 0);
    EXPECT_NE(feed.handle, nullptr);
    feed.record = Record(feed.handle);
    return feed;
  }

  static std::int32_t Shown(const Feed& feed) {
    return feed.record->shownRate.frames();
  }

  // Pushes the same frame to every feed and waits until each has shown it.
  void PushToAll(std::vector<Feed*> feeds, std::int32_t type,
                 const std::vector<std::uint8_t>& body) {
    for (Feed* feed : feeds) {
      const std::int32_t before = Shown(*feed);
      ASSERT_TRUE(feed->camera->PushPacket(51, 12, FrameHeader(5, 640, 480)));
      ASSERT_TRUE(feed->camera->PushPacket(
          type, static_cast<std::int32_t>(body.size()), body));
      ASSERT_TRUE(WaitUntil([&] { return Shown(*feed) > before; }));
    }
  }

  // Every option and item given to every feed.
  static void SetAll(std::vector<Feed*> feeds, std::int32_t option,
                     std::int32_t value) {
    for (Feed* feed : feeds) {
      ASSERT_EQ(rvx_SetMiscOption(feed->handle, option, value), 1);
    }
  }

  ::testing::AssertionResult Same(xcb_window_t window, RvxWindow memory,
                                  int bitsPerPixel, std::uint32_t compared) {
    const std::vector<std::uint32_t> shown =
        client_->Read(window, kWindowWidth, kWindowHeight, bitsPerPixel);
    const auto held = display::ReadMemoryWindow(memory);
    if (shown.size() != held->pixels.size()) {
      return ::testing::AssertionFailure() << "no image from the server";
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if ((shown[i] & compared) != (held->pixels[i] & compared)) {
        char text[96];
        std::snprintf(
            text, sizeof text, "pixel (%zu, %zu): server 0x%08X, memory 0x%08X",
            i % kWindowWidth, i / kWindowWidth, shown[i], held->pixels[i]);
        return ::testing::AssertionFailure() << text;
      }
    }
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<XClient> client_;
};

// Depth of the server's screen, and whether MIT-SHM may be used.
class XvfbMatchTest
    : public XvfbTest,
      public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(XvfbMatchTest, ServerShowsWhatTheMemoryWindowHolds) {
  const auto [depth, sharedMemory] = GetParam();
  StartServer(depth);
  if (IsSkipped() || HasFatalFailure()) return;
  display::SetXcbSharedMemoryAllowed(sharedMemory);
  const int bits = depth == 16 ? 16 : 32;
  const std::uint32_t compared = depth == 16 ? 0xFFFFu : 0x00FFFFFFu;

  // Two addresses of their own for each of the four cases.
  const int index = 20 + 4 * (depth == 16) + 2 * sharedMemory;
  Feed x = Open(index);
  Feed memory = Open(index + 1);
  const xcb_window_t window = client_->Create(kWindowWidth, kWindowHeight);
  const RvxWindow held =
      display::CreateMemoryWindow(kWindowWidth, kWindowHeight, depth);
  rvx_StartVideoStream(x.handle, window);
  ASSERT_EQ(x.record->displayWindow.load(), window) << "the X window binds";
  rvx_StartVideoStream(memory.handle, held);
  const display::XcbUploadCounts before = display::ReadXcbUploadCounts();
  std::vector<Feed*> both = {&x, &memory};

  PushToAll(both, 129, Pattern(640, 480, 1));
  EXPECT_TRUE(Same(window, held, bits, compared)) << "plain frame";

  // Scaled past the window's edge and scrolled.
  SetAll(both, 25, 0x3FC00000);  // 1.5
  SetAll(both, 26, 0x3FC00000);
  SetAll(both, 23, 5);
  SetAll(both, 24, 3);
  PushToAll(both, 129, Pattern(640, 480, 2));
  EXPECT_TRUE(Same(window, held, bits, compared)) << "zoom 1.5, scrolled";

  // Shrunk, with every object highlighted.
  SetAll(both, 25, 0x3F400000);  // 0.75
  SetAll(both, 26, 0x3F400000);
  SetAll(both, 23, 0);
  SetAll(both, 24, 0);
  for (Feed* feed : both) {
    ASSERT_EQ(rvx_SetSmartMotion(feed->handle, RVX_ITEM_DETECT_OBJECTS, 1), 1);
    ASSERT_EQ(rvx_SetSmartMotion(feed->handle, RVX_ITEM_MIN_OBJECT_SIZE, 10), 1);
    ASSERT_EQ(rvx_SetSmartMotion(feed->handle, RVX_ITEM_HIGHLIGHT, 0), 1);
  }
  PushToAll(both, 130, camsim::EncodeRuns(camsim::RenderMask(640, 480, 4)));
  EXPECT_TRUE(Same(window, held, bits, compared)) << "highlighted mask";

  const display::XcbUploadCounts after = display::ReadXcbUploadCounts();
  const bool viaSharedMemory = sharedMemory && display::XcbSharedMemoryBuilt();
  EXPECT_EQ(after.sharedMemory - before.sharedMemory,
            viaSharedMemory ? 3u : 0u);
  EXPECT_EQ(after.plain - before.plain, viaSharedMemory ? 0u : 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, XvfbMatchTest,
    ::testing::Combine(::testing::Values(24, 16), ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<int, bool>>& param) {
      return "Depth" + std::to_string(std::get<0>(param.param)) +
             (std::get<1>(param.param) ? "SharedMemory" : "PlainRequests");
    });

TEST_F(XvfbTest, ArgbWindowGetsOpaquePixels) {
  StartServer(24);
  if (IsSkipped() || HasFatalFailure()) return;
  const xcb_window_t window =
      client_->Create(kWindowWidth, kWindowHeight, true);
  if (window == 0) GTEST_SKIP() << "this Xvfb offers no depth-32 visual";
  Feed x = Open(30);
  Feed memory = Open(31);
  const RvxWindow held =
      display::CreateMemoryWindow(kWindowWidth, kWindowHeight, 32);
  rvx_StartVideoStream(x.handle, window);
  ASSERT_EQ(x.record->displayWindow.load(), window);
  rvx_StartVideoStream(memory.handle, held);
  PushToAll({&x, &memory}, 129, Pattern(640, 480, 6));
  EXPECT_TRUE(Same(window, held, 32, 0xFFFFFFFFu));
  EXPECT_EQ(client_->Read(window, kWindowWidth, kWindowHeight, 32)[0] >> 24,
            0xFFu);
}

bool XlibLoaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("libX11.so") != std::string::npos) return true;
  }
  return false;
}

TEST_F(XvfbTest, DestroyedWindowNeitherCrashesNorStallsTheLibrary) {
  StartServer(24);
  if (IsSkipped() || HasFatalFailure()) return;
  Feed feed = Open(40, true);
  feed.camera->SetFrameRate(200);
  const xcb_window_t window = client_->Create(kWindowWidth, kWindowHeight);
  rvx_StartVideoStream(feed.handle, window);
  ASSERT_TRUE(WaitUntil([&] { return Shown(feed) >= 10; }));

  client_->Destroy(window);
  // Frames drawn while the destruction was on its way may still count;
  // after that, frames are taken and dropped: frames keep arriving while
  // the shown count stays where it is. Waited for as a run of received
  // frames with no shown one among them, so neither a slow server nor a
  // slow machine can fail it.
  constexpr std::int32_t kQuietRun = 40;
  std::int32_t shown = Shown(feed);
  std::int32_t received = ReceivedFrames(*feed.record);
  EXPECT_TRUE(WaitUntil([&] {
    const std::int32_t nowShown = Shown(feed);
    const std::int32_t nowReceived = ReceivedFrames(*feed.record);
    if (nowShown != shown) {
      shown = nowShown;
      received = nowReceived;
      return false;
    }
    return nowReceived - received >= kQuietRun;
  })) << "no run of "
      << kQuietRun << " frames received without one shown: " << Shown(feed)
      << " shown, " << ReceivedFrames(*feed.record) << " received";
  EXPECT_EQ(rvx_SetMiscOption(feed.handle, RVX_OPTION_REDRAW, 0), 1);

  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(feed.handle);
  EXPECT_LT(platform::TickCount() - start, kStalledMs);
  // The library's errors stayed on its own connections: the process's X
  // connection is untouched and no Xlib (with its process-wide handler)
  // was ever loaded.
  EXPECT_TRUE(client_->ok());
  EXPECT_FALSE(XlibLoaded());
}

TEST_F(XvfbTest, ServerCrashMidStreamLeavesTheLibraryWorking) {
  StartServer(24);
  if (IsSkipped() || HasFatalFailure()) return;
  Feed feed = Open(41, true);
  feed.camera->SetFrameRate(200);
  const xcb_window_t window = client_->Create(kWindowWidth, kWindowHeight);
  rvx_StartVideoStream(feed.handle, window);
  ASSERT_TRUE(WaitUntil([&] { return Shown(feed) >= 10; }));

  // The binding's connection breaks without the window being destroyed:
  // every frame finds its backing lost and tries a new connection, which
  // fails at once. Whether the window still exists cannot be known, so the
  // frames are counted, as for an X window that could not be bound.
  server_->Crash();
  const std::int32_t received = ReceivedFrames(*feed.record);
  const std::int32_t shown = Shown(feed);
  EXPECT_TRUE(WaitUntil([&] {
    return ReceivedFrames(*feed.record) > received + 20 &&
           Shown(feed) > shown + 20;
  })) << "frames keep flowing through the display thread: received "
      << ReceivedFrames(*feed.record) - received << ", shown "
      << Shown(feed) - shown;
  EXPECT_EQ(rvx_SetMiscOption(feed.handle, RVX_OPTION_REDRAW, 0), 1);
  const std::uint32_t start = platform::TickCount();
  rvx_DisconnectCamera(feed.handle);
  EXPECT_LT(platform::TickCount() - start, kStalledMs);
}

}  // namespace
}  // namespace quorvel::test
