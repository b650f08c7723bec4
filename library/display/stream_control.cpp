#include "display/stream_control.h"

#include <cstring>

#include "command/send_command.h"
#include "display/direct_draw.h"
#include "display/draw_frame.h"
#include "platform/clock.h"

namespace quorvel {

namespace {

constexpr std::int32_t kStartCommand = 1;
constexpr std::int32_t kStopCommand = 2;
constexpr std::int32_t kCompletionCommand = 256;

void ResetRates(CameraRecord& record) {
  {
    std::lock_guard<std::mutex> lock(record.rxFpsLock);
    record.rxFrameCount = 0;
    record.rxCountMark = 0;
    record.rxTickMark = platform::TickCount();
  }
  std::lock_guard<std::mutex> lock(record.shownFpsLock);
  record.shownFrameCount = 0;
  record.shownCountMark = 0;
  record.shownTickMark = platform::TickCount();
}

}  // namespace

void StartVideoStream(CameraRecord& record, RvxWindow window, bool withCallback,
                      RvxStreamCallback callback, std::int32_t user) {
  if (record.streaming.load() != 0 || !record.hasReceiverThread.load()) return;
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
  if (!Succeeded(SendCommand(&record, kStartCommand, 0, nullptr))) {
    record.streaming.store(0);
  }
}

void StopVideoStream(CameraRecord& record) {
  (void)SendCommand(&record, kStopCommand, 0, nullptr);
  record.streaming.store(0);
}

bool SetMiscOption(CameraRecord& record, std::int32_t option,
                   std::int32_t value) {
  switch (option) {
    case 21:
      if (!record.hasReceiverThread.load()) return false;
      return Succeeded(SendCommand(&record, kCompletionCommand, 0, nullptr));
    case 22:
      // Done also when no window is set: there is then nothing to redraw.
      RedrawShownFrame(record);
      return true;
    case 23:
      record.scrollX.store(value);
      return true;
    case 24:
      record.scrollY.store(value);
      return true;
    case 25:
    case 26: {
      // The 32 bits are a float's own bits, not a number to convert.
      float zoom;
      std::memcpy(&zoom, &value, sizeof zoom);
      (option == 25 ? record.zoomX : record.zoomY).store(zoom);
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
    case 27:
      *result = record.stepX;
      return true;
    case 28:
      *result = record.stepY;
      return true;
    case 29:
      *result = record.displayWidth;
      return true;
    case 30:
      *result = record.displayHeight;
      return true;
    default:
      return false;
  }
}

bool GetFPS(CameraRecord& record, std::int32_t selector, double* result) {
  if (result == nullptr) return false;
  const bool stopped = record.streaming.load() == 0;
  if (selector == 41) {
    std::lock_guard<std::mutex> lock(record.rxFpsLock);
    if (stopped) record.rxFps = 0.0f;
    *result = record.rxFps;
    return true;
  }
  if (selector == 42) {
    std::lock_guard<std::mutex> lock(record.shownFpsLock);
    if (stopped) record.shownFps = 0.0f;
    *result = record.shownFps;
    return true;
  }
  return false;
}

}  // namespace quorvel
