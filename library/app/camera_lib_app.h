// The one library object: the camera registry and the library's start and
// end with the process.
#pragma once

#include <cstdint>
#include <cwchar>

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

  // Connecting and disconnecting (registry/connect.cpp,
  // registry/disconnect.cpp).
  const char* ConnectCamera(const wchar_t* address, std::int32_t width,
                            std::int32_t height, bool display, bool flash);
  void DisconnectCamera(const char* handle);
  void DisconnectAllCameras();

 private:
  Registry registry_;
  bool socketLayerStarted_ = false;
};

// The library object of this process.
CCameraLibApp& TheApp();

}  // namespace quorvel
