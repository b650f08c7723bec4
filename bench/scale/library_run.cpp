#include "scale/library_run.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/camera_lib_app.h"
#include "display/backend/memory_windows.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "quorvel/quorvel.h"
#include "scale/camsim_fleet.h"
#include "scale/command_client.h"

namespace scale {

namespace {

constexpr auto kFenceDeadline = std::chrono::seconds(60);
constexpr auto kFirstFramesDeadline = std::chrono::seconds(60);
// Frames each camera must have received before a stream counts as running.
constexpr std::uint64_t kRunningFrames = 3;
constexpr std::uint32_t kWaitSliceMs = 20;

// Frames received, a counter per camera, counted by the stream callback
// (whose user value is the camera's index).
std::array<std::atomic<std::uint64_t>, kMaxCameras> receivedFrames;

void RVX_CALL CountFrame(const char*, std::uint8_t*, std::int32_t, std::int32_t,
                         std::int32_t user) {
  receivedFrames[static_cast<std::size_t>(user)].fetch_add(
      1, std::memory_order_relaxed);
}

// The library's cameras of one run, disconnected and their windows
// destroyed with it.
class LibraryCameras {
 public:
  LibraryCameras(StreamKind kind, int cameras) : kind_(kind), count_(cameras) {
    if (kind_ == StreamKind::kPictures) return;
    for (int i = 0; i < count_; ++i) {
      windows_.push_back(
          quorvel::display::CreateMemoryWindow(kWidth, kHeight, kWindowDepth));
    }
  }
  ~LibraryCameras() {
    rvx_DisconnectAllCameras();
    for (const RvxWindow window : windows_) {
      (void)quorvel::display::DestroyMemoryWindow(window);
    }
  }
  LibraryCameras(const LibraryCameras&) = delete;
  LibraryCameras& operator=(const LibraryCameras&) = delete;

  bool Connect() {
    for (int i = 0; i < count_; ++i) {
      const std::string address = CameraAddress(kLibrarySubnet, i);
      const char* handle =
          windows_.empty()
              ? rvx_ConnectCameraNoDisplayA(address.c_str(), kWidth, kHeight)
              : rvx_ConnectCameraDisplayA(address.c_str(), kWidth, kHeight);
      if (handle == nullptr) return false;
      handles_.push_back(handle);
    }
    return true;
  }

  bool EnableDetection() const {
    if (kind_ != StreamKind::kMasks) return true;
    for (const char* handle : handles_) {
      if (rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1) != 1) {
        return false;
      }
    }
    return true;
  }

  void Start() {
    starts_.clear();
    for (int i = 0; i < count_; ++i) {
      receivedFrames[static_cast<std::size_t>(i)].store(0);
      rvx_StartVideoStream2(handles_[static_cast<std::size_t>(i)],
                            windows_.empty() ? 0 : windows_[std::size_t(i)],
                            CountFrame, i);
      starts_.push_back(Clock::now());
    }
  }

  std::uint64_t Received() const {
    std::uint64_t frames = 0;
    for (int i = 0; i < count_; ++i) {
      frames += receivedFrames[static_cast<std::size_t>(i)].load();
    }
    return frames;
  }

  // Frames the display threads drew. Read from the cameras' own counts: a
  // copy of 64 memory windows would take long enough on a loaded machine
  // to skew the window it marks.
  std::uint64_t Shown() const {
    std::uint64_t frames = 0;
    for (const char* handle : handles_) {
      const quorvel::CameraRef record =
          quorvel::TheApp().registry().Find(handle);
      if (record == nullptr) continue;
      frames += static_cast<std::uint64_t>(record->shownRate.frames());
    }
    return frames;
  }

  // Whether every window has been drawn into: the cameras' counts include
  // frames that a failed binding took without drawing.
  bool AllWindowsDrawn() const {
    for (const RvxWindow window : windows_) {
      const auto state = quorvel::display::ReadMemoryWindow(window);
      if (!state || state->framesPresented == 0) return false;
    }
    return true;
  }

  bool WaitUntilRunning() const {
    const Clock::time_point deadline = Clock::now() + kFirstFramesDeadline;
    for (int i = 0; i < count_; ++i) {
      while (receivedFrames[static_cast<std::size_t>(i)].load() <
             kRunningFrames) {
        if (Clock::now() > deadline) return false;
        quorvel::platform::SleepMs(kWaitSliceMs);
      }
    }
    return true;
  }

  Lag LagNow() const {
    std::vector<std::uint64_t> received;
    for (int i = 0; i < count_; ++i) {
      received.push_back(receivedFrames[static_cast<std::size_t>(i)].load());
    }
    return LagAt(received, starts_, Clock::now());
  }

  bool WaitUntilCaughtUp() const {
    const Clock::time_point deadline = SecondsFromNow(kCatchUpDeadlineS);
    while (!CaughtUp(LagNow(), handles_.size())) {
      if (Clock::now() > deadline) return false;
      quorvel::platform::SleepMs(kWaitSliceMs);
    }
    return true;
  }

  // Stops each camsim's stream behind the library's back, through a command
  // channel of the bench's own, so that the library still takes every frame
  // already sent. Returns the frames due over every camera's stream time,
  // or a negative value when a camsim refused.
  double PauseCameras() const {
    double due = 0.0;
    for (int i = 0; i < count_; ++i) {
      const quorvel::platform::Socket channel =
          OpenCommandChannel(CameraIpv4(kLibrarySubnet, i));
      if (!SendBareCommand(channel, kStopStreamCommand)) return -1.0;
      due += FramesDue(starts_[static_cast<std::size_t>(i)], Clock::now());
    }
    return due;
  }

  // A round trip through both channels completes only after the receiver
  // has taken every frame queued before its completion notice. Two in a
  // row, because a frame camsim began as the pause came in can slip in
  // behind the first; a round trip that times out under load is repeated.
  bool Fence() const {
    const Clock::time_point deadline = Clock::now() + kFenceDeadline;
    for (const char* handle : handles_) {
      for (int done = 0; done < 2;) {
        if (Clock::now() > deadline) return false;
        if (rvx_SetMiscOption(handle, RVX_OPTION_ROUND_TRIP, 0) == 1) ++done;
      }
    }
    return true;
  }

  void Stop() const {
    for (const char* handle : handles_) rvx_StopVideoStream(handle);
  }

 private:
  const StreamKind kind_;
  const int count_;
  std::vector<RvxWindow> windows_;
  std::vector<const char*> handles_;
  std::vector<Clock::time_point> starts_;
};

// Connect, idle, stream and the exact count of frames received against
// frames sent; false when the cameras could not be reached at all.
bool MeasureStream(const RunConfig& config, StreamKind kind, Figures& figures) {
  CamsimFleet fleet(config.camsim, kLibrarySubnet, figures.cameras,
                    figures.traffic);
  if (!fleet.ready()) {
    figures.AddProblem("camsim did not start");
    return false;
  }
  LibraryCameras library(kind, figures.cameras);
  const Clock::time_point start = Clock::now();
  if (!library.Connect()) {
    figures.AddProblem("cannot connect");
    return false;
  }
  figures.connectMs = MsSince(start);
  if (!library.EnableDetection()) {
    figures.AddProblem("detection refused");
    return false;
  }
  {
    const Meter idle(fleet);
    SleepSeconds(config.idleS);
    figures.idleCpuShare = idle.Read().cpuShare;
  }
  library.Start();
  SleepSeconds(config.warmUpS);
  if (!library.WaitUntilCaughtUp()) {
    figures.AddProblem("streams still behind as the window opened");
  }
  {
    // The counts are taken right beside the meter's clock readings, which
    // come last as it starts and first as it is read.
    const Meter window(fleet);
    const std::uint64_t received = library.Received();
    const std::uint64_t shown = library.Shown();
    SleepSeconds(config.windowS);
    figures.windowFrames = library.Received() - received;
    if (kind != StreamKind::kPictures) {
      figures.windowShown = library.Shown() - shown;
    }
    figures.window = window.Read();
  }
  figures.worstLagS = library.LagNow().worstS;
  if (!library.AllWindowsDrawn()) {
    figures.AddProblem("a window was never drawn into");
  }
  figures.dueFrames = library.PauseCameras();
  if (figures.dueFrames < 0.0) {
    figures.AddProblem("camsim refused the pause");
    return true;
  }
  if (!library.Fence()) figures.AddProblem("the fence did not come back");
  figures.received = library.Received();
  // Stopped first, so that the disconnect has no stream to end and costs
  // nothing here.
  library.Stop();
  rvx_DisconnectAllCameras();
  if (const auto sent = fleet.Stop()) {
    figures.sent = 0;
    for (const std::uint64_t frames : *sent) *figures.sent += frames;
  } else {
    figures.AddProblem("camsim did not tell the frames it sent");
  }
  return true;
}

// rvx_DisconnectAllCameras of cameras that really stream. The first fleet's
// counts of frames sent end with that fleet, so these are new camsims.
void MeasureDisconnect(const RunConfig& config, StreamKind kind,
                       Figures& figures) {
  CamsimFleet fleet(config.camsim, kLibrarySubnet, figures.cameras,
                    figures.traffic);
  LibraryCameras library(kind, figures.cameras);
  if (!fleet.ready() || !library.Connect() || !library.EnableDetection()) {
    figures.AddProblem("second connect failed");
    return;
  }
  library.Start();
  if (!library.WaitUntilRunning()) {
    figures.AddProblem("streams did not start before the disconnect");
    return;
  }
  const Clock::time_point start = Clock::now();
  rvx_DisconnectAllCameras();
  figures.disconnectMs = MsSince(start);
}

}  // namespace

const char* KindLabel(StreamKind kind) {
  switch (kind) {
    case StreamKind::kPictures:
      return "a pictures";
    case StreamKind::kDisplay:
      return "b display";
    case StreamKind::kMasks:
      return "c masks";
  }
  return "";
}

Figures RunLibrary(const RunConfig& config, int cameras, StreamKind kind) {
  Figures figures;
  figures.kind = KindLabel(kind);
  figures.traffic = kind == StreamKind::kMasks ? "mask" : "image";
  figures.cameras = cameras;
  if (MeasureStream(config, kind, figures)) {
    MeasureDisconnect(config, kind, figures);
  }
  return figures;
}

}  // namespace scale
