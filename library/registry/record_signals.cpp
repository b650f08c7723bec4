// What other threads signal to a camera's record: a loss, a completion.
#include "registry/camera_record.h"

namespace quorvel {

void MarkLost(CameraRecord& record, std::int32_t reason) {
  // Failures that teardown causes itself are not the camera's.
  if (record.stopping.load()) return;
  std::int32_t healthy = 0;
  if (!record.lostReason.compare_exchange_strong(healthy, reason)) return;
  if (record.receiverWake != nullptr) record.receiverWake->Signal();
}

void SignalCommandDone(CameraRecord* record) {
  if (record != nullptr && record->commandDoneExists.load()) {
    record->commandDoneEvent.Set();
  }
}

}  // namespace quorvel
