#include "registry/teardown.h"

#include "command/send_command.h"
#include "display/direct_draw.h"
#include "platform/clock.h"

namespace quorvel {

namespace {
constexpr std::uint32_t kStopCommandPauseMs = 100;
constexpr std::int32_t kStopStreamCommand = 2;
}  // namespace

bool StopReceiverThread(CameraRecord& record) {
  if (record.receiverThread == nullptr) return true;
  if (record.receiverWake != nullptr) record.receiverWake->Signal();
  const bool ended = record.receiverThread->Stop(kThreadStopWaitMs);
  record.hasReceiverThread.store(false);
  record.receiverThreadId.store(std::thread::id());
  record.receiverThread.reset();
  return ended;
}

bool StopDisplayThread(CameraRecord& record) {
  if (record.displayThread == nullptr) return true;
  record.threadEvent.Set();
  const bool ended = record.displayThread->Stop(kThreadStopWaitMs);
  record.displayThread.reset();
  return ended;
}

void ReleaseBuffers(CameraRecord& record) {
  // An application thread redrawing through option 22 reads these buffers
  // under the display lock; it must never see them half freed.
  std::lock_guard<std::mutex> lock(record.displayLock);
  for (FrameSlot* slot : {&record.slotA, &record.slotB, &record.slotC}) {
    slot->pixels.reset();
  }
  record.rgbaBuffer.reset();
  record.displayBuffer.reset();
  for (FrameSlot* slot : {&record.slotA, &record.slotB, &record.slotC}) {
    slot->objects.reset();
    slot->objectCount = 0;
    slot->labels.reset();
  }
  record.overlayMask.reset();
  record.highlightCount = nullptr;
  record.highlightObjects = nullptr;
  record.labelMap = nullptr;
}

bool TearDownCamera(CameraRecord& record) {
  // Taking connected first makes a second disconnect of the same camera,
  // racing on another thread, a no-op.
  if (record.connected.exchange(0) == 0) return false;
  if (record.streaming.load() != 0) {
    (void)SendCommand(&record, kStopStreamCommand, 0, nullptr);
    record.streaming.store(0);
    platform::SleepMs(kStopCommandPauseMs);
  }
  // Shutting down unblocks any read in progress, on the receiver or on an
  // application thread stalled in a transaction. The descriptors are closed
  // when the last user of the record lets go.
  record.commandSocket.ShutdownBoth();
  record.dataSocket.ShutdownBoth();
  platform::SleepMs(1);
  const bool receiverEnded = StopReceiverThread(record);
  const bool displayEnded = StopDisplayThread(record);
  ResetCommandEvents(&record, false);
  ReleaseDirectDraw(record);
  // A worker that outlived its wait still holds the record and may still
  // touch its buffers; they are then freed with the record itself.
  if (receiverEnded && displayEnded) ReleaseBuffers(record);
  return true;
}

}  // namespace quorvel
