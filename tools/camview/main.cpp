// camview: shows one camera live in an X11 window.
//   camview ADDRESS [WIDTH HEIGHT]
// Keys: + / - zoom, arrows scroll, d object detection on/off, a highlight
// every object, 1-9 object n, n no highlight, q or closing the window quits.
// The title shows the frames received and drawn a second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quorvel/quorvel.h"
#include "viewer_controls.h"
#include "viewer_window.h"

namespace {

constexpr int kEventWaitMs = 100;
constexpr auto kTitleRefresh = std::chrono::seconds(1);

void PrintUsage() {
  std::fprintf(stderr,
               "usage: camview ADDRESS [WIDTH HEIGHT]\n"
               "  keys: + - zoom, arrows scroll, d detection on/off,\n"
               "        a all objects, 1-9 object n, n none, q quit\n");
}

std::string Title(const std::string& address, const char* handle) {
  double received = 0, shown = 0;
  (void)rvx_GetFPS(handle, 41, &received);
  (void)rvx_GetFPS(handle, 42, &shown);
  char text[160];
  std::snprintf(text, sizeof text,
                "camview %s - received %.1f fps, shown %.1f fps",
                address.c_str(), received, shown);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    PrintUsage();
    return 2;
  }
  const std::string address = argv[1];
  const std::int32_t width = argc == 4 ? std::atoi(argv[2]) : 0;
  const std::int32_t height = argc == 4 ? std::atoi(argv[3]) : 0;

  camview::ViewerWindow window;
  if (!window.ok()) {
    std::fprintf(stderr, "camview: cannot open the X display (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  const char* handle =
      rvx_ConnectCameraDisplayA(address.c_str(), width, height);
  if (handle == nullptr) {
    std::fprintf(stderr, "camview: cannot connect to the camera at %s\n",
                 address.c_str());
    return 1;
  }
  // The window is as large as the picture the library draws.
  std::int32_t shownWidth = 640, shownHeight = 480;
  (void)rvx_GetMiscOption(handle, 29, &shownWidth);
  (void)rvx_GetMiscOption(handle, 30, &shownHeight);
  if (!window.Create(static_cast<std::uint16_t>(shownWidth),
                     static_cast<std::uint16_t>(shownHeight))) {
    std::fprintf(stderr, "camview: cannot create the window\n");
    rvx_DisconnectCamera(handle);
    return 1;
  }
  rvx_StartVideoStream(handle, window.id());

  camview::ViewerControls controls(handle);
  auto nextTitle = std::chrono::steady_clock::now();
  bool running = true;
  while (running) {
    std::uint32_t keysym = 0;
    switch (window.Next(kEventWaitMs, &keysym)) {
      case camview::WindowEvent::kKey:
        running = controls.OnKey(keysym) != camview::KeyResult::kQuit;
        break;
      case camview::WindowEvent::kClosed:
        running = false;
        break;
      case camview::WindowEvent::kNone:
        break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextTitle) {
      window.SetTitle(Title(address, handle));
      nextTitle = now + kTitleRefresh;
    }
  }
  rvx_StopVideoStream(handle);
  rvx_DisconnectCamera(handle);
  return 0;
}
