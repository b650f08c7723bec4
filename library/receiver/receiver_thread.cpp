#include "receiver/receiver_thread.h"

#include "platform/thread.h"
#include "platform/wakeup.h"
#include "receiver/frame_socket.h"

namespace quorvel {

namespace {

// Runs the lost callback once for the camera's loss. A loss found before a
// callback was set is reported when one is set (the setter wakes this
// thread).
void ReportLoss(CameraRecord& record) {
  if (!IsLost(record) || record.lostReported.load()) return;
  const RvxCameraLostCallback callback = record.lostCallback.load();
  if (callback == nullptr) return;
  const CallbackGate::Pass pass(record.callbackGate);
  if (!pass) return;
  record.lostReported.store(true);
  callback(record.name, record.lostReason.load(), record.lostUser.load());
}

}  // namespace

void ReceiverThreadProc(CameraRef record) {
  platform::RaiseCurrentThreadPriority(platform::ThreadPriority::kHighest);
  platform::Wakeup& wake = *record->receiverWake;
  record->threadEvent.Set();

  platform::SocketStream input(record->dataSocket, kDataLimits);
  MaskWork maskWork;
  CFrameSocket socket(*record, input, maskWork);
  static const platform::Socket kNoSocket;
  for (;;) {
    // A lost camera's connection is no longer read; from then on only the
    // wake-up is waited for.
    const platform::Socket& watched =
        IsLost(*record) ? kNoSocket : record->dataSocket;
    switch (wake.WaitReadable(watched)) {
      case platform::Wakeup::Readiness::kReadable:
        socket.OnReceive();
        break;
      case platform::Wakeup::Readiness::kWoken:
        wake.Clear();
        if (record->receiverQuit.load()) return;
        break;
      case platform::Wakeup::Readiness::kFailed:
        MarkLost(*record, RVX_LOST_DATA_CONNECTION);
        ReportLoss(*record);
        return;
    }
    ReportLoss(*record);
  }
}

}  // namespace quorvel
