// Disconnecting cameras.
#pragma once

#include "camera/teardown.h"
#include "registry/registry.h"

namespace quorvel {

// Both do nothing when called on a camera's receiver thread (from a
// callback): they wait for that thread, which would wait for itself.
void DisconnectCamera(Registry& registry, const char* handle);
// Also cancels every connect still in progress; each returns null. The
// context says how the worker threads may be waited for (the library's
// unload runs it where they cannot be joined).
void DisconnectAllCameras(Registry& registry,
                          TeardownContext context = TeardownContext::kCaller);

}  // namespace quorvel
