// What every run of the scale benchmark shares: the stream it asks for,
// where its cameras live and how long it measures.
#pragma once

#include <cstdint>
#include <string>

namespace scale {

inline constexpr int kFps = 30;
inline constexpr std::int32_t kWidth = 640, kHeight = 480;
inline constexpr std::int32_t kWindowDepth = 32;
inline constexpr int kMaxCameras = 64;
// Camera i of a run serves 127.0.<subnet>.(i + 1): the library's cameras and
// the plain loop's never share an address, so neither sees the other's
// connections even when a camsim outlives its run for a moment.
inline constexpr int kLibrarySubnet = 50;
inline constexpr int kPlainSubnet = 51;
// How long a run waits for its streams to catch up before the window opens
// regardless.
inline constexpr double kCatchUpDeadlineS = 10.0;

struct RunConfig {
  std::string camsim;    // the camsim program
  double windowS = 5.0;  // measured window while streaming
  double idleS = 2.0;    // connected cameras, no stream
  double warmUpS = 1.0;  // streaming before the window opens
};

}  // namespace scale
