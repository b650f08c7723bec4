#include "display/display_thread.h"

#include "display/draw_frame.h"
#include "imaging/convert.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "quorvel/quorvel.h"

namespace quorvel {

namespace {

// 32-bit pixels without decimation are the work pixels unchanged. Only for
// monochrome frames: their conversion writes all four bytes, while
// demosaicing leaves the fourth as the buffer holds it, which in the
// display buffer may be another packing's bytes.
bool PackingCopies(CameraRecord& record) TSA_REQUIRES(record.displayLock) {
  return record.screenBitsPerPixel == 32 && record.stepX == 1 &&
         record.stepY == 1 && record.pixelFormat == RVX_FORMAT_MONO8;
}

}  // namespace

// The shown slot changes under displayLock, so a redraw from another thread
// always finds the slot, its labels and the display buffer of one frame.
bool ShowNewestFrame(CameraRecord& record) {
  platform::MutexLock lock(record.displayLock);
  if (!record.slots.Take()) return false;
  FrameSlot& slot = *record.slots.showSlot;
  // The slot shown until now goes back to the receiver, which rewrites its
  // objects: nothing may point into it any more.
  record.highlightCount = nullptr;
  record.highlightObjects = nullptr;
  record.labelMap = slot.labels.get();

  if (!DisplayWindowExists(record)) return false;
  std::int32_t width = 0, height = 0;
  if (PackingCopies(record)) {
    // The packing would copy the work image byte for byte: convert into the
    // display buffer directly and save a pass over the frame.
    if (!ConvertToWork(record.pixelFormat, slot.pixels.get(),
                       record.displayBuffer.get(), slot.width, slot.height)) {
      return false;
    }
    width = slot.width;
    height = slot.height;
  } else {
    if (!ConvertToWork(record.pixelFormat, slot.pixels.get(),
                       record.rgbaBuffer.get(), slot.width, slot.height)) {
      return false;
    }
    DecimateAndPack(record.rgbaBuffer.get(), record.displayBuffer.get(),
                    slot.width, slot.height, record.screenBitsPerPixel,
                    record.stepX, &width, record.stepY, &height);
  }
  // Bayer frames carry no objects of their own, so they show no highlight.
  if (record.pixelFormat == RVX_FORMAT_MONO8) {
    record.highlightCount = &slot.objectCount;
    record.highlightObjects = slot.objects.get();
  }
  DrawFrame(record, width, height);
  return true;
}

namespace {

void CountShownFrame(CameraRecord& record) {
  record.shownRate.Count(platform::TickCount());
}

}  // namespace

void DisplayThreadProc(CameraRef record) {
  platform::RaiseCurrentThreadPriority(platform::ThreadPriority::kAboveNormal);
  // Asleep until a frame is published or the stop is signalled: an idle
  // camera costs nothing. The stop interrupts the wait as well as setting
  // threadEvent, so either order of the two is seen.
  while (!record->threadEvent.Wait(0)) {
    if (!record->slots.WaitReady()) continue;
    if (ShowNewestFrame(*record)) CountShownFrame(*record);
  }
}

}  // namespace quorvel
