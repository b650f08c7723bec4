// Disconnecting cameras.
#pragma once

#include "registry/registry.h"

namespace quorvel {

// Both do nothing when called on a camera's receiver thread (from a
// callback): they wait for that thread, which would wait for itself.
void DisconnectCamera(Registry& registry, const char* handle);
// Also cancels every connect still in progress; each returns null.
void DisconnectAllCameras(Registry& registry);

}  // namespace quorvel
