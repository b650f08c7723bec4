// Test programs that use sockets without the library object (the camera
// server, the command channel alone) start the socket layer themselves;
// the layer counts its starts, so one more beside the library's is fine.
#include "platform/socket.h"

namespace {
const bool socketLayerStarted = quorvel::platform::InitSocketLayer();
}  // namespace
