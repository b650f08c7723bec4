// The one library object: the camera registry and the library's start and
// end with the process.
#pragma once

#include "camera/teardown.h"
#include "registry/registry.h"

namespace quorvel {

class CCameraLibApp {
 public:
  // Load: the registry starts empty and the socket layer is started.
  CCameraLibApp();
  // Unload: every camera still connected is disconnected.
  ~CCameraLibApp();
  CCameraLibApp(const CCameraLibApp&) = delete;
  CCameraLibApp& operator=(const CCameraLibApp&) = delete;

  bool InitInstance();
  // Disconnects every camera and ends the socket layer; the context says
  // how the unload may wait for the cameras' threads. A second call finds
  // nothing to do.
  void ExitInstance(TeardownContext context = TeardownContext::kCaller);
  // Whether the load's InitInstance succeeded.
  bool started() const { return socketLayerStarted_; }

  Registry& registry() { return registry_; }

 private:
  Registry registry_;
  bool socketLayerStarted_ = false;
};

// The library object of this process.
CCameraLibApp& TheApp();

}  // namespace quorvel
