// Display cost of one frame: take the newest slot, convert and decimate,
// compose and present, into a memory window and into a private Xvfb (with
// MIT-SHM and with plain image requests). Real time includes the X server's
// work for the frame (the round trip waits for it); CPU time is this
// thread's alone.
//
//   display_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "display/direct_draw.h"
#include "display/display_thread.h"
#include "display/backend/memory_windows.h"
#include "display/backend/xcb_options.h"
#include "imaging/frame_size.h"
#if QUORVEL_BENCH_X11
#include "integration/xvfb_client.h"
#include "integration/xvfb_server.h"
#endif
#include "registry/camera_record.h"

namespace quorvel::bench {
namespace {

constexpr std::int32_t kDisplayLimit = 2048;

// A record set up as connect sets up a display connection, with every
// slot holding the same picture, so each publish hands the display a frame.
std::shared_ptr<CameraRecord> MakeCamera(std::int32_t width,
                                         std::int32_t height) {
  auto record = std::make_shared<CameraRecord>();
  record->width = width;
  record->height = height;
  record->pixelFormat = RVX_FORMAT_MONO8;
  (void)ChooseDecimationStep(width, kDisplayLimit, &record->stepX,
                             &record->displayWidth);
  (void)ChooseDecimationStep(height, kDisplayLimit, &record->stepY,
                             &record->displayHeight);
  const std::size_t pixels =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  FrameSlots& slots = record->slots;
  for (FrameSlot* slot : {&slots.slotA, &slots.slotB, &slots.slotC}) {
    slot->width = width;
    slot->height = height;
    slot->pixels = std::make_unique<std::uint8_t[]>(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
      slot->pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 640);
    }
  }
  {
    platform::MutexLock lock(record->displayLock);
    record->rgbaBuffer = std::make_unique<std::uint8_t[]>(pixels * 4);
    record->displayBuffer = std::make_unique<std::uint8_t[]>(pixels * 4);
  }
  record->zoomX.store(1.0f);
  record->zoomY.store(1.0f);
  record->highlightSelect.store(-1);
  record->connected.store(1);
  return record;
}

void ShowFrames(benchmark::State& state, CameraRecord& record) {
  for (auto _ : state) {
    record.slots.Publish();
    if (!ShowNewestFrame(record)) {
      state.SkipWithError("the frame was not shown");
      return;
    }
  }
}

void MemoryWindow(benchmark::State& state, std::int32_t width,
                  std::int32_t height) {
  auto record = MakeCamera(width, height);
  const RvxWindow window = display::CreateMemoryWindow(
      record->displayWidth, record->displayHeight, 24);
  if (!SetUpDirectDraw(*record, window)) {
    state.SkipWithError("memory window did not bind");
    return;
  }
  ShowFrames(state, *record);
  ReleaseDirectDraw(*record);
}

#if QUORVEL_BENCH_X11
struct XServer {
  std::unique_ptr<test::XvfbServer> server;
  std::unique_ptr<test::XClient> client;
};
XServer* xServer = nullptr;

void XWindow(benchmark::State& state, std::int32_t width, std::int32_t height,
             bool sharedMemory) {
  auto record = MakeCamera(width, height);
  display::SetXcbSharedMemoryAllowed(sharedMemory);
  const xcb_window_t window = xServer->client->Create(
      static_cast<std::uint16_t>(record->displayWidth),
      static_cast<std::uint16_t>(record->displayHeight));
  const display::XcbUploadCounts before = display::ReadXcbUploadCounts();
  if (!SetUpDirectDraw(*record, window)) {
    state.SkipWithError("X window did not bind");
    return;
  }
  ShowFrames(state, *record);
  ReleaseDirectDraw(*record);
  const display::XcbUploadCounts after = display::ReadXcbUploadCounts();
  state.SetLabel(after.sharedMemory > before.sharedMemory ? "MIT-SHM"
                                                          : "plain requests");
  xServer->client->Destroy(window);
}
#endif

void Register() {
  struct Size {
    const char* name;
    std::int32_t width, height;
  };
  for (const Size size :
       {Size{"640x480", 640, 480}, Size{"5120x250", 5120, 250}}) {
    benchmark::RegisterBenchmark(
        (std::string("Display/Memory/") + size.name).c_str(),
        [size](benchmark::State& state) {
          MemoryWindow(state, size.width, size.height);
        })
        ->Unit(benchmark::kMillisecond);
#if QUORVEL_BENCH_X11
    if (xServer == nullptr) continue;
    for (const bool shm : {true, false}) {
      benchmark::RegisterBenchmark(
          (std::string("Display/Xvfb/") + size.name + (shm ? "/shm" : "/plain"))
              .c_str(),
          [size, shm](benchmark::State& state) {
            XWindow(state, size.width, size.height, shm);
          })
          ->Unit(benchmark::kMillisecond);
    }
#endif
  }
}

}  // namespace
}  // namespace quorvel::bench

int main(int argc, char** argv) {
  using namespace quorvel;
  benchmark::Initialize(&argc, argv);
#if QUORVEL_BENCH_X11
  bench::XServer server;
  std::string whyNot;
  if (!display::XcbBackendBuilt()) {
    std::printf("X benchmarks skipped: built without libxcb\n");
  } else if ((server.server = test::XvfbServer::Start(2048, 1024, 24,
                                                      &whyNot)) == nullptr) {
    std::printf("X benchmarks skipped: %s\n", whyNot.c_str());
  } else {
    ::setenv("DISPLAY", server.server->display().c_str(), 1);
    server.client = std::make_unique<test::XClient>(server.server->display());
    bench::xServer = &server;
  }
#else
  std::printf("X benchmarks skipped: built without libxcb\n");
#endif
  bench::Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#if QUORVEL_BENCH_X11
  bench::xServer = nullptr;
#endif
  return 0;
}
