// Clocks for a measured window: the bench process's own CPU time, the
// camsims' CPU time and how busy the whole machine was.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "scale/camsim_fleet.h"

namespace scale {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start);
Clock::time_point SecondsFromNow(double seconds);
// Frames a camsim owes for a stream from start to stop: one as the stream
// starts, then kFps a second.
double FramesDue(Clock::time_point start, Clock::time_point stop);
// How far streams are behind what their camsims owe: a camsim that fell
// behind (on a loaded machine, or while the streams start) catches up in a
// burst, which must not land in a measured window unnoticed.
struct Lag {
  double frames = 0.0;  // all the cameras together
  double worstS = 0.0;  // the camera furthest behind, in seconds of stream
};
// received[i] frames of the stream that started at starts[i].
Lag LagAt(const std::vector<std::uint64_t>& received,
          const std::vector<Clock::time_point>& starts, Clock::time_point now);
// Whether the streams together owe no more than the one or two frames a
// camera has on their way.
bool CaughtUp(const Lag& lag, std::size_t cameras);
void SleepSeconds(double seconds);
// The first three fields of /proc/loadavg.
std::string LoadAverage();

struct MeterReading {
  double seconds = 0.0;
  double cpuShare = 0.0;     // this process's CPU seconds a second (1 = a core)
  double camsimShare = 0.0;  // the camsims' CPU seconds a second
  double machineBusy = 0.0;  // share of all the machine's cores that worked
};

class Meter {
 public:
  // Starts measuring now.
  explicit Meter(const CamsimFleet& fleet);
  // The figures from the start until now.
  MeterReading Read() const;

 private:
  struct MachineTicks {
    std::uint64_t busy = 0, total = 0;
  };
  static MachineTicks ReadMachineTicks();
  static double ProcessCpuSeconds();

  const CamsimFleet& fleet_;
  MachineTicks machine_;
  double camsimCpu_;
  Clock::time_point start_;
  double processCpu_;
};

}  // namespace scale
