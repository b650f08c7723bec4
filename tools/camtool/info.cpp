// info: what a camera is and how fast it streams, for a person checking a
// camera or a set-up.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "arguments.h"
#include "commands.h"
#include "connection.h"
#include "quorvel/quorvel.h"

namespace camtool {
namespace {

// The library refreshes its rates about once a second; three seconds give
// it several refreshes to settle on.
constexpr auto kMeasureTime = std::chrono::seconds(3);

// The stream callback's user value is 32 bits and cannot carry a pointer,
// so the count of the one measurement a run makes lives here.
std::atomic<long long>& FramesCounted() {
  static std::atomic<long long> frames{0};
  return frames;
}

void RVX_CALL CountFrame(const char*, std::uint8_t*, std::int32_t, std::int32_t,
                         std::int32_t) {
  FramesCounted().fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

Failure Info(const Request& request) {
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kNoDisplay, &whyNot);
  if (!camera) return whyNot;
  const char* handle = camera->handle();

  // No window: the picture is received and counted, never drawn, so the
  // displayed rate shows what a window-less application gets.
  rvx_StartVideoStream2(handle, 0, CountFrame, 0);
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(kMeasureTime);
  double received = 0, displayed = 0;
  const bool rates = rvx_GetFPS(handle, RVX_FPS_RECEIVED, &received) != 0 &&
                     rvx_GetFPS(handle, RVX_FPS_DISPLAYED, &displayed) != 0;
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  rvx_StopVideoStream(handle);
  const long long frames = FramesCounted().load();
  if (!rates) return "cannot read the frame rates";

  std::int32_t stepX = 0, stepY = 0, shownWidth = 0, shownHeight = 0;
  if (rvx_GetMiscOption(handle, RVX_OPTION_STEP_X, &stepX) == 0 ||
      rvx_GetMiscOption(handle, RVX_OPTION_STEP_Y, &stepY) == 0 ||
      rvx_GetMiscOption(handle, RVX_OPTION_DISPLAY_WIDTH, &shownWidth) == 0 ||
      rvx_GetMiscOption(handle, RVX_OPTION_DISPLAY_HEIGHT, &shownHeight) == 0) {
    return "cannot read the display decimation";
  }
  std::printf("device name: %s\n", handle);
  std::printf("picture: %dx%d\n",
              request.width > 0 ? request.width : tools::kDefaultWidth,
              request.height > 0 ? request.height : tools::kDefaultHeight);
  std::printf("received: %.1f fps\n", received);
  std::printf("displayed: %.1f fps\n", displayed);
  std::printf("frames counted: %lld in %.1f s\n", frames, elapsed.count());
  std::printf("decimation: step %dx%d, displayed picture %dx%d\n", stepX, stepY,
              shownWidth, shownHeight);
  return std::nullopt;
}

}  // namespace camtool
