#include "camera/teardown.h"

#include <system_error>
#include <thread>

#include "command/codes.h"
#include "command/send_command.h"
#include "display/direct_draw.h"
#include "platform/clock.h"

namespace quorvel {

namespace {

constexpr std::uint32_t kStopCommandPauseMs = 100;

std::uint32_t Remaining(std::uint32_t deadline) {
  const auto left = static_cast<std::int32_t>(deadline - platform::TickCount());
  return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

// The stop command of a streaming camera, bounded as a whole: a camera that
// never acknowledges it, or a transaction stalled on another thread, does
// not hold the teardown.
void TellStop(CameraRecord& record) {
  const platform::TransferLimits limits =
      platform::TransferLimits::Within(kStopCommandBoundMs);
  if (!record.commandLock.TryLockFor(kStopCommandBoundMs)) return;
  platform::TimedLock lock(record.commandLock, platform::kAdoptLock);
  (void)Transact(record, command::kStopStream, 0, nullptr, {}, limits);
}

// Joined on an application thread; only waited for by its own signal
// where joining cannot work.
bool EndWorker(platform::WorkerThread& worker, std::uint32_t deadline,
               TeardownContext context) {
  switch (context) {
    case TeardownContext::kCaller:
      return worker.Stop(Remaining(deadline));
    case TeardownContext::kLoaderLock:
      return worker.Release(Remaining(deadline));
    case TeardownContext::kProcessEnd:
      return worker.Release(0);
  }
  return false;
}

}  // namespace

bool StopReceiverThread(CameraRecord& record, std::uint32_t deadline,
                        TeardownContext context) {
  if (record.receiverThread == nullptr) return true;
  record.receiverQuit.store(true);
  if (record.receiverWake != nullptr) record.receiverWake->Signal();
  const bool ended = EndWorker(*record.receiverThread, deadline, context);
  record.hasReceiverThread.store(false);
  record.receiverThreadId.store(std::thread::id());
  record.receiverThread.reset();
  return ended;
}

bool StopDisplayThread(CameraRecord& record, std::uint32_t deadline,
                       TeardownContext context) {
  if (record.displayThread == nullptr) return true;
  record.threadEvent.Set();
  record.slots.Interrupt();
  const bool ended = EndWorker(*record.displayThread, deadline, context);
  record.displayThread.reset();
  return ended;
}

void ReleaseBuffers(CameraRecord& record) {
  // An application thread redrawing through option 22 reads these buffers
  // under the display lock; it must never see them half freed.
  platform::MutexLock lock(record.displayLock);
  FrameSlots& slots = record.slots;
  for (FrameSlot* slot : {&slots.slotA, &slots.slotB, &slots.slotC}) {
    slot->pixels.reset();
  }
  record.rgbaBuffer.reset();
  record.displayBuffer.reset();
  for (FrameSlot* slot : {&slots.slotA, &slots.slotB, &slots.slotC}) {
    slot->objects.reset();
    slot->objectCount = 0;
    slot->labels.reset();
    slot->labelRows = LabelRows{};
  }
  record.overlayMask.reset();
  record.highlightCount = nullptr;
  record.highlightObjects = nullptr;
  record.labelMap = nullptr;
}

bool TearDownCamera(CameraRecord& record, TeardownContext context) {
  // Taking connected first makes a second disconnect of the same camera,
  // racing on another thread, a no-op.
  if (record.connected.exchange(0) == 0) return false;
  record.stopping.store(true);
  if (record.streaming.load() != 0) {
    TellStop(record);
    record.streaming.store(0);
    platform::SleepMs(kStopCommandPauseMs);
  }
  // Shutting down unblocks any read in progress, on the receiver or on an
  // application thread stalled in a transaction. The descriptors are closed
  // when the last user of the record lets go.
  record.commandSocket.ShutdownBoth();
  record.dataSocket.ShutdownBoth();
  platform::SleepMs(1);
  // Both threads are asked at once, and one wait bounds them all: the
  // callback running now, then both threads.
  record.receiverQuit.store(true);
  if (record.receiverWake != nullptr) record.receiverWake->Signal();
  if (record.displayThread != nullptr) {
    record.threadEvent.Set();
    record.slots.Interrupt();
  }
  const bool processEnds = context == TeardownContext::kProcessEnd;
  const std::uint32_t deadline =
      platform::TickCount() + (processEnds ? 0 : kThreadStopWaitMs);
  const bool callbacksEnded = record.callbackGate.Close(Remaining(deadline));
  const bool receiverEnded = StopReceiverThread(record, deadline, context);
  const bool displayEnded = StopDisplayThread(record, deadline, context);
  ResetCommandEvents(&record, false);
  // A thread that was stopped in its tracks may have held the display
  // lock; the end of the process frees the rest.
  if (processEnds) return true;
  ReleaseDirectDraw(record);
  // A worker that outlived its wait still holds the record and may still
  // touch its buffers; they are then freed with the record itself.
  if (callbacksEnded && receiverEnded && displayEnded) ReleaseBuffers(record);
  return true;
}

void TearDownCameras(const std::vector<CameraRef>& records,
                     TeardownContext context) {
  if (context != TeardownContext::kCaller) {
    for (const CameraRef& record : records) (void)TearDownCamera(*record, context);
    return;
  }
  std::vector<std::thread> helpers;
  for (std::size_t i = 1; i < records.size(); ++i) {
    try {
      helpers.emplace_back([record = records[i]] { TearDownCamera(*record); });
    } catch (const std::system_error&) {
      // No thread to spare: this one is torn down here, in turn.
      (void)TearDownCamera(*records[i]);
    }
  }
  if (!records.empty()) (void)TearDownCamera(*records.front());
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace quorvel
