#include "receiver/receiver_thread.h"

#include "platform/thread.h"
#include "platform/wakeup.h"
#include "receiver/frame_socket.h"

namespace quorvel {

void ReceiverThreadProc(CameraRef record) {
  platform::RaiseCurrentThreadPriority(platform::ThreadPriority::kHighest);
  const platform::Wakeup& wake = *record->receiverWake;
  record->threadEvent.Set();

  CFrameSocket socket(*record, record->dataSocket);
  static const platform::Socket kNoSocket;
  for (;;) {
    // A connection that closed stays readable for ever; from then on only
    // the quit request is waited for.
    const platform::Socket& watched =
        socket.connectionLost() ? kNoSocket : record->dataSocket;
    switch (wake.WaitReadable(watched)) {
      case platform::Wakeup::Readiness::kReadable:
        socket.OnReceive(0);
        break;
      case platform::Wakeup::Readiness::kWoken:
      case platform::Wakeup::Readiness::kFailed:
        return;
    }
  }
}

}  // namespace quorvel
