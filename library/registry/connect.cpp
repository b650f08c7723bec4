#include "app/camera_lib_app.h"

namespace quorvel {

const char* CCameraLibApp::ConnectCamera(const wchar_t* address,
                                         std::int32_t width,
                                         std::int32_t height, bool display,
                                         bool flash) {
  (void)address, (void)width, (void)height, (void)display, (void)flash;
  return nullptr;
}

}  // namespace quorvel
