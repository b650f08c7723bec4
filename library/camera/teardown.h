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

// Where a teardown runs decides how it may wait for the worker threads.
enum class TeardownContext {
  // An application thread: workers are waited for and joined.
  kCaller,
  // A DLL's detach notification, under the loader lock: a thread cannot
  // end (nor start) until the notification returns, so no thread is
  // started or joined; each worker is waited for by the event it sets
  // before it returns, and then let go.
  kLoaderLock,
  // The process is ending and its other threads are already gone: nothing
  // waits for them, no lock they may have held is taken, and what the
  // record owns is left to the end of the process.
  kProcessEnd,
};

// Asks the receiver to quit and waits until the tick count deadline for it;
// true when it ended in time (also when there was none).
bool StopReceiverThread(CameraRecord& record, std::uint32_t deadline,
                        TeardownContext context = TeardownContext::kCaller);
// Signals the display thread's stop event and waits until deadline; true
// when it ended in time (also when there was none).
bool StopDisplayThread(CameraRecord& record, std::uint32_t deadline,
                       TeardownContext context = TeardownContext::kCaller);
// Frees the frame storage, work buffers and object arrays.
void ReleaseBuffers(CameraRecord& record) TSA_EXCLUDES(record.displayLock);

// Disconnect steps for one record: the stop command when streaming (within
// kStopCommandBoundMs), socket shutdown, which ends any transaction another
// thread has in flight, no callback after it returns, thread stops (within
// kThreadStopWaitMs together), event and buffer release, and connected
// cleared. Returns false, doing nothing, when the record was not connected.
bool TearDownCamera(CameraRecord& record,
                    TeardownContext context = TeardownContext::kCaller);
// TearDownCamera for each record, all at once, so the whole takes about as
// long as one camera's teardown; one after the other outside kCaller, where
// no helper thread can run.
void TearDownCameras(const std::vector<CameraRef>& records,
                     TeardownContext context = TeardownContext::kCaller);

}  // namespace quorvel
