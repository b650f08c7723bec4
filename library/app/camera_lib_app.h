// The one library object: the camera registry and the library's start and
// end with the process.
#pragma once

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
  void ExitInstance();

  Registry& registry() { return registry_; }

 private:
  Registry registry_;
  bool socketLayerStarted_ = false;
};

// The library object of this process.
CCameraLibApp& TheApp();

}  // namespace quorvel
