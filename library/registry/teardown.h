// Stopping a camera's worker threads and releasing what the record owns.
#pragma once

#include "registry/camera_record.h"

namespace quorvel {

inline constexpr std::uint32_t kThreadStopWaitMs = 10000;

// Asks the receiver to quit and waits for it; true when it ended in time
// (also when there was none).
bool StopReceiverThread(CameraRecord& record);
// Signals the display thread's stop event and waits for it; true when it
// ended in time (also when there was none).
bool StopDisplayThread(CameraRecord& record);
// Frees the frame storage, work buffers and object arrays.
void ReleaseBuffers(CameraRecord& record);

// Disconnect steps for one record still linked: stop command when
// streaming, socket shutdown, thread stops, event and buffer release, and
// connected cleared. Returns false when the record was not connected.
bool TearDownCamera(CameraRecord& record);

}  // namespace quorvel
