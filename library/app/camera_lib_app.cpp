#include "app/camera_lib_app.h"

#include "camera/disconnect.h"
#include "platform/socket.h"

namespace quorvel {

namespace {
// Constructed when the library is loaded and destroyed when it is unloaded.
CCameraLibApp theApp;
}  // namespace

CCameraLibApp& TheApp() { return theApp; }

CCameraLibApp::CCameraLibApp() {
  // A socket layer that cannot start leaves every connect failing; POSIX
  // has nothing to start, so this only matters on Windows.
  socketLayerStarted_ = InitInstance();
}

CCameraLibApp::~CCameraLibApp() { ExitInstance(); }

bool CCameraLibApp::InitInstance() { return platform::InitSocketLayer(); }

void CCameraLibApp::ExitInstance(TeardownContext context) {
  DisconnectAllCameras(registry_, context);
  if (socketLayerStarted_) {
    platform::EndSocketLayer();
    socketLayerStarted_ = false;
  }
}

}  // namespace quorvel
