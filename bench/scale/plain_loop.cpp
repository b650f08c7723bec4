#include "scale/plain_loop.h"

#include <poll.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

#include "command/wire.h"
#include "receiver/data_wire.h"
#include "scale/camsim_fleet.h"
#include "scale/command_client.h"
#include "scale/frame_counter.h"

namespace scale {

namespace {

using quorvel::platform::ReceiveResult;
using quorvel::platform::Socket;

constexpr std::size_t kReadBytes = 1 << 20;
constexpr auto kFenceDeadline = std::chrono::seconds(60);
// How often a wait for a condition looks at it again.
constexpr int kPollSliceMs = 50;

class PlainLoop {
 public:
  explicit PlainLoop(int cameras) : count_(cameras), buffer_(kReadBytes) {}

  // Opens both channels of every camera and reads each greeting.
  bool Connect() {
    for (int i = 0; i < count_; ++i) {
      Camera camera;
      camera.command = OpenCommandChannel(CameraIpv4(kPlainSubnet, i));
      camera.data = Socket::ConnectTcp(CameraIpv4(kPlainSubnet, i),
                                       quorvel::receiver::kDataPort);
      if (!camera.command.valid() || !camera.data.valid()) return false;
      cameras_.push_back(std::move(camera));
    }
    return true;
  }

  // Sends code to every camera in turn; the time each acknowledged it, or
  // nothing when one did not.
  std::optional<std::vector<Clock::time_point>> SendToAll(std::int32_t code) {
    std::vector<Clock::time_point> acknowledged;
    for (const Camera& camera : cameras_) {
      if (!SendBareCommand(camera.command, code)) return std::nullopt;
      acknowledged.push_back(Clock::now());
    }
    return acknowledged;
  }

  void ReadFor(double seconds) {
    ReadUntil(SecondsFromNow(seconds), [] { return false; });
  }

  // Reads every data channel until the deadline or until done() holds.
  bool ReadUntil(Clock::time_point deadline,
                 const std::function<bool()>& done) {
    std::vector<pollfd> watched;
    std::vector<Camera*> owners;
    while (!done()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - Clock::now());
      if (left.count() <= 0) return false;
      watched.clear();
      owners.clear();
      for (Camera& camera : cameras_) {
        if (!camera.open) continue;
        watched.push_back({camera.data.native(), POLLIN, 0});
        owners.push_back(&camera);
      }
      const int timeout =
          static_cast<int>(std::min<long long>(left.count(), kPollSliceMs));
      if (::poll(watched.data(), watched.size(), timeout) <= 0) continue;
      for (std::size_t i = 0; i < watched.size(); ++i) {
        if (watched[i].revents != 0) Drain(*owners[i]);
      }
    }
    return true;
  }

  std::uint64_t Frames() const {
    return std::accumulate(cameras_.begin(), cameras_.end(), std::uint64_t{0},
                           [](std::uint64_t sum, const Camera& camera) {
                             return sum + camera.counter.frames();
                           });
  }

  Lag LagNow(const std::vector<Clock::time_point>& starts) const {
    std::vector<std::uint64_t> received;
    for (const Camera& camera : cameras_) {
      received.push_back(camera.counter.frames());
    }
    return LagAt(received, starts, Clock::now());
  }

  bool AllCompleted(std::uint64_t completions) const {
    return std::all_of(cameras_.begin(), cameras_.end(),
                       [completions](const Camera& camera) {
                         return camera.counter.completions() >= completions;
                       });
  }

  void Close() { cameras_.clear(); }

 private:
  struct Camera {
    Socket command;
    Socket data;
    FrameCounter counter{std::int64_t{kWidth} * kHeight};
    bool open = true;  // the data channel has not reached its end
  };

  void Drain(Camera& camera) {
    const ReceiveResult got =
        camera.data.ReceiveSome(buffer_.data(), buffer_.size());
    if (got.kind == ReceiveResult::Kind::kData) {
      camera.counter.Feed(buffer_.data(), got.bytes);
    } else if (got.kind != ReceiveResult::Kind::kWouldBlock) {
      camera.open = false;
    }
  }

  const int count_;
  std::vector<Camera> cameras_;
  std::vector<std::uint8_t> buffer_;
};

double DueFrames(const std::vector<Clock::time_point>& starts,
                 const std::vector<Clock::time_point>& stops) {
  double due = 0.0;
  for (std::size_t i = 0; i < starts.size() && i < stops.size(); ++i) {
    due += FramesDue(starts[i], stops[i]);
  }
  return due;
}

}  // namespace

Figures RunPlainLoop(const RunConfig& config, int cameras,
                     const std::string& traffic) {
  Figures figures;
  figures.kind = "plain " + traffic;
  figures.traffic = traffic;
  figures.plainLoop = true;
  figures.cameras = cameras;
  CamsimFleet fleet(config.camsim, kPlainSubnet, cameras, traffic);
  if (!fleet.ready()) {
    figures.AddProblem("camsim did not start");
    return figures;
  }
  PlainLoop loop(cameras);
  Clock::time_point start = Clock::now();
  if (!loop.Connect()) {
    figures.AddProblem("cannot connect");
    return figures;
  }
  figures.connectMs = MsSince(start);
  {
    const Meter idle(fleet);
    loop.ReadFor(config.idleS);
    figures.idleCpuShare = idle.Read().cpuShare;
  }
  const auto starts = loop.SendToAll(kStartStreamCommand);
  if (!starts) {
    figures.AddProblem("start refused");
    return figures;
  }
  loop.ReadFor(config.warmUpS);
  const Clock::time_point caughtUpDeadline = SecondsFromNow(kCatchUpDeadlineS);
  if (!loop.ReadUntil(caughtUpDeadline, [&] {
        return CaughtUp(loop.LagNow(*starts), cameras);
      })) {
    figures.AddProblem("streams still behind as the window opened");
  }
  {
    const Meter window(fleet);
    const std::uint64_t before = loop.Frames();
    loop.ReadFor(config.windowS);
    figures.windowFrames = loop.Frames() - before;
    figures.window = window.Read();
  }
  figures.worstLagS = loop.LagNow(*starts).worstS;

  start = Clock::now();
  const auto stops = loop.SendToAll(kStopStreamCommand);
  const double stopMs = MsSince(start);
  if (!stops) {
    figures.AddProblem("stop refused");
    return figures;
  }
  figures.dueFrames = DueFrames(*starts, *stops);
  // Two fences: a frame that camsim began just as the stop came in can
  // still slip in behind the first.
  const Clock::time_point deadline = Clock::now() + kFenceDeadline;
  for (std::uint64_t round = 1; round <= 2; ++round) {
    if (!loop.SendToAll(quorvel::command::kCompletionCode) ||
        !loop.ReadUntil(deadline, [&] { return loop.AllCompleted(round); })) {
      figures.AddProblem("the fence did not come back");
      break;
    }
  }
  figures.received = loop.Frames();
  start = Clock::now();
  loop.Close();
  figures.disconnectMs = stopMs + MsSince(start);

  if (const auto sent = fleet.Stop()) {
    figures.sent =
        std::accumulate(sent->begin(), sent->end(), std::uint64_t{0});
  } else {
    figures.AddProblem("camsim did not tell the frames it sent");
  }
  return figures;
}

}  // namespace scale
