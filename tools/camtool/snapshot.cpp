// snapshot: one complete frame from a camera, saved as BMP or raw.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "connection.h"
#include "quorvel/quorvel.h"

namespace camtool {
namespace {

constexpr auto kFrameWait = std::chrono::seconds(5);

// The frame the receiver thread hands over. The stream callback's user
// value is only 32 bits wide and cannot carry a pointer, so the one
// snapshot a run takes lives here.
struct Capture {
  std::mutex lock;
  std::condition_variable arrived;
  std::int32_t wantedPixels = 0;  // guarded by lock
  bool done = false;              // guarded by lock
  std::int32_t pixelFormat = 0;   // guarded by lock
  std::vector<std::uint8_t> pixels;
};

Capture& TheCapture() {
  static Capture capture;
  return capture;
}

// Runs on the receiver thread. Frames cut short by the camera are passed
// over, so the picture saved always fills the size asked for.
void RVX_CALL TakeFrame(const char*, std::uint8_t* pixels,
                        std::int32_t pixelCount, std::int32_t pixelFormat,
                        std::int32_t) {
  Capture& capture = TheCapture();
  std::lock_guard<std::mutex> guard(capture.lock);
  if (capture.done || pixels == nullptr || pixelCount != capture.wantedPixels) {
    return;
  }
  const std::size_t bytesPerPixel =
      pixelFormat == RVX_FORMAT_BAYER_GRBG10 ? 2 : 1;
  capture.pixels.assign(
      pixels, pixels + static_cast<std::size_t>(pixelCount) * bytesPerPixel);
  capture.pixelFormat = pixelFormat;
  capture.done = true;
  capture.arrived.notify_all();
}

}  // namespace

Failure Snapshot(const Request& request) {
  const std::string& path = request.path;
  const std::int32_t width =
      request.width > 0 ? request.width : tools::kDefaultWidth;
  const std::int32_t height =
      request.height > 0 ? request.height : tools::kDefaultHeight;

  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kNoDisplay, &whyNot);
  if (!camera) return whyNot;

  Capture& capture = TheCapture();
  {
    std::lock_guard<std::mutex> guard(capture.lock);
    capture.wantedPixels = width * height;
  }
  rvx_StartVideoStream2(camera->handle(), 0, TakeFrame, 0);
  bool got = false;
  {
    std::unique_lock<std::mutex> guard(capture.lock);
    got = capture.arrived.wait_for(guard, kFrameWait,
                                   [&] { return capture.done; });
  }
  rvx_StopVideoStream(camera->handle());
  if (!got) return "no complete frame from " + request.address + " in 5 s";

  // The stream is stopped and capture.done keeps the callback from
  // touching the pixels again, so they are read without the lock.
  const std::int32_t saved =
      request.bmp
          ? rvx_RawImageToBmpRGBFileA(capture.pixels.data(), path.c_str(),
                                      width, height, capture.pixelFormat)
          : rvx_RawImageToRawFileA(capture.pixels.data(), path.c_str(), width,
                                   height, capture.pixelFormat);
  if (saved == 0) return "cannot write " + path;
  return std::nullopt;
}

}  // namespace camtool
