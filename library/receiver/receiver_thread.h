// The per-camera thread that reads the data channel.
#pragma once

#include "registry/registry.h"

namespace quorvel {

// Signals the record's threadEvent once it is ready, then handles data
// channel input until the record's receiverWake is signalled. Holding the
// record keeps it alive even if disconnect stops waiting for this thread.
void ReceiverThreadProc(CameraRef record);

}  // namespace quorvel
