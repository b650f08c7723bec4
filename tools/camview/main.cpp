// camview: shows one camera live in an X11 window.
//   camview [--size WxH] ADDRESS, or camview ADDRESS WIDTH HEIGHT
// Keys: + / - zoom, arrows scroll, d object detection on/off, a highlight
// every object, 1-9 object n, n no highlight, q or closing the window quits.
// The title shows the frames received and drawn a second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "arguments.h"
#include "connect_failure.h"
#include "quorvel/quorvel.h"
#include "view_options.h"
#include "viewer_controls.h"
#include "viewer_window.h"

namespace {

constexpr int kEventWaitMs = 100;
constexpr auto kTitleRefresh = std::chrono::seconds(1);

std::string Title(const std::string& address, const char* handle) {
  double received = 0, shown = 0;
  (void)rvx_GetFPS(handle, RVX_FPS_RECEIVED, &received);
  (void)rvx_GetFPS(handle, RVX_FPS_DISPLAYED, &shown);
  char text[160];
  std::snprintf(text, sizeof text,
                "camview %s - received %.1f fps, shown %.1f fps",
                address.c_str(), received, shown);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything about the command line is settled before the display is
  // opened or the address looked up.
  if (tools::WantsHelp(argc, argv)) {
    camview::PrintUsage(stdout);
    return 0;
  }
  camview::ViewOptions options;
  if (auto refused = camview::ParseViewOptions(argc, argv, &options)) {
    std::fprintf(stderr, "camview: %s\n", refused->c_str());
    return tools::kUsageStatus;
  }
  const std::string& address = options.address;

  camview::ViewerWindow window;
  if (!window.ok()) {
    std::fprintf(stderr, "camview: cannot open the X display (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  const char* handle =
      rvx_ConnectCameraDisplayA(address.c_str(), options.width, options.height);
  if (handle == nullptr) {
    const std::string why = tools::ExplainConnectFailure(
        address, tools::ConnectKind::kVideo,
        options.width > 0 ? options.width : tools::kDefaultWidth,
        options.height > 0 ? options.height : tools::kDefaultHeight);
    std::fprintf(stderr, "camview: %s\n", why.c_str());
    return 1;
  }
  // The window is as large as the picture the library draws.
  std::int32_t shownWidth = 640, shownHeight = 480;
  (void)rvx_GetMiscOption(handle, RVX_OPTION_DISPLAY_WIDTH, &shownWidth);
  (void)rvx_GetMiscOption(handle, RVX_OPTION_DISPLAY_HEIGHT, &shownHeight);
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
