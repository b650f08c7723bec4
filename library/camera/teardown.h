// Stopping a camera's worker threads and releasing what the record owns.
#pragma once

#include <vector>

#include "registry/registry.h"

namespace quorvel {

// The longest a disconnect waits for a worker thread, or for a callback
// still running, to end.
inline constexpr std::uint32_t kThreadStopWaitMs = 10000;
// The longest a disconnect spends telling a streaming camera to stop,
// waiting for another transaction included; the sockets are shut down
// after it whatever the camera did.
inline constexpr std::uint32_t kStopCommandBoundMs = 2000;

// Asks the receiver to quit and waits until the tick count deadline for it;
// true when it ended in time (also when there was none).
bool StopReceiverThread(CameraRecord& record, std::uint32_t deadline);
// Signals the display thread's stop event and waits until deadline; true
// when it ended in time (also when there was none).
bool StopDisplayThread(CameraRecord& record, std::uint32_t deadline);
// Frees the frame storage, work buffers and object arrays.
void ReleaseBuffers(CameraRecord& record) TSA_EXCLUDES(record.displayLock);

// Disconnect steps for one record: the stop command when streaming (within
// kStopCommandBoundMs), socket shutdown, which ends any transaction another
// thread has in flight, no callback after it returns, thread stops (within
// kThreadStopWaitMs together), event and buffer release, and connected
// cleared. Returns false, doing nothing, when the record was not connected.
bool TearDownCamera(CameraRecord& record);
// TearDownCamera for each record, all at once, so the whole takes about as
// long as one camera's teardown.
void TearDownCameras(const std::vector<CameraRef>& records);

}  // namespace quorvel
