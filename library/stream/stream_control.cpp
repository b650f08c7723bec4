#include "stream/stream_control.h"

#include <cstring>
#include <thread>

#include "command/codes.h"
#include "command/send_command.h"
#include "display/direct_draw.h"
#include "display/draw_frame.h"
#include "platform/clock.h"

namespace quorvel {

namespace {

// The stop is told to the camera within this time, waiting for another
// transaction included; the stream counts as stopped either way.
constexpr std::uint32_t kStopBoundMs = 10000;

void ResetRates(CameraRecord& record) {
  record.rxRate.Reset(platform::TickCount());
  record.shownRate.Reset(platform::TickCount());
}

}  // namespace

void StartVideoStream(CameraRecord& record, RvxWindow window, bool withCallback,
                      RvxStreamCallback callback, std::int32_t user) {
  if (record.streaming.load() != 0 || !record.hasReceiverThread.load()) return;
  // A lost camera sends nothing that could be received any more.
  if (IsLost(record)) return;
  if (window == 0) {
    record.displayWindow.store(0);
    if (!withCallback) return;
  } else if (window != record.displayWindow.load()) {
    (void)SetUpDirectDraw(record, window);
  }
  record.streamUser.store(withCallback ? user : record.streamUser.load());
  record.streamCallback.store(withCallback ? callback : nullptr);
  ResetRates(record);
  // Marked before the command goes out: a camera that pushes its first
  // frame before the acknowledgement is read must find the stream running.
  record.streaming.store(1);
  if (!Succeeded(SendCommand(&record, command::kStartStream, 0, nullptr))) {
    record.streaming.store(0);
  }
}

void StopVideoStream(CameraRecord& record) {
  const platform::TransferLimits limits =
      platform::TransferLimits::Within(kStopBoundMs);
  if (record.commandLock.TryLockFor(kStopBoundMs)) {
    platform::TimedLock lock(record.commandLock, platform::kAdoptLock);
    (void)Transact(record, command::kStopStream, 0, nullptr, {}, limits);
  }
  record.streaming.store(0);
}

bool SetMiscOption(CameraRecord& record, std::int32_t option,
                   std::int32_t value) {
  switch (option) {
    case RVX_OPTION_ROUND_TRIP:
      if (!record.hasReceiverThread.load()) return false;
      // Only the camera's receiver thread reads the completion this would
      // wait for; asked on that very thread, it could never come.
      if (record.receiverThreadId.load() == std::this_thread::get_id()) {
        return false;
      }
      return Succeeded(SendCommand(&record, command::kRoundTrip, 0, nullptr));
    case RVX_OPTION_REDRAW:
      // Done also when no window is set: there is then nothing to redraw.
      RedrawShownFrame(record);
      return true;
    case RVX_OPTION_SCROLL_X:
      record.scrollX.store(value);
      return true;
    case RVX_OPTION_SCROLL_Y:
      record.scrollY.store(value);
      return true;
    case RVX_OPTION_ZOOM_X:
    case RVX_OPTION_ZOOM_Y: {
      // The 32 bits are a float's own bits, not a number to convert.
      float zoom;
      std::memcpy(&zoom, &value, sizeof zoom);
      (option == RVX_OPTION_ZOOM_X ? record.zoomX : record.zoomY).store(zoom);
      return true;
    }
    default:
      return false;
  }
}

bool GetMiscOption(CameraRecord& record, std::int32_t option,
                   std::int32_t* result) {
  if (result == nullptr) return false;
  switch (option) {
    case RVX_OPTION_STEP_X:
      *result = record.stepX;
      return true;
    case RVX_OPTION_STEP_Y:
      *result = record.stepY;
      return true;
    case RVX_OPTION_DISPLAY_WIDTH:
      *result = record.displayWidth;
      return true;
    case RVX_OPTION_DISPLAY_HEIGHT:
      *result = record.displayHeight;
      return true;
    default:
      return false;
  }
}

bool GetFPS(CameraRecord& record, std::int32_t selector, double* result) {
  if (result == nullptr) return false;
  FrameRate* rate = nullptr;
  if (selector == RVX_FPS_RECEIVED) rate = &record.rxRate;
  if (selector == RVX_FPS_DISPLAYED) rate = &record.shownRate;
  if (rate == nullptr) return false;
  // A lost camera delivers nothing: its rates read as a stopped stream's.
  const bool stopped = record.streaming.load() == 0 || IsLost(record);
  *result = rate->Read(platform::TickCount(), stopped);
  return true;
}

}  // namespace quorvel
