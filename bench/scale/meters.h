// Clocks for a measured window: the bench process's own CPU time, the
// camsims' CPU time and how busy the whole machine was.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "scale/camsim_fleet.h"

namespace scale {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start);
Clock::time_point SecondsFromNow(double seconds);
// Frames a camsim owes for a stream from start to stop: one as the stream
// starts, then kFps a second.
double FramesDue(Clock::time_point start, Clock::time_point stop);
// Whether a camera whose stream started at start has received, by now, all
// the frames due but the one or two still on their way. A camsim that fell
// behind (on a loaded machine, while the streams start) catches up in a
// burst, which must not land in a measured window.
bool CaughtUp(std::uint64_t received, Clock::time_point start,
              Clock::time_point now);
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
