#include "scale/meters.h"

#include <time.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "scale/run_config.h"

namespace scale {

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start)
      .count();
}

Clock::time_point SecondsFromNow(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(seconds));
}

double FramesDue(Clock::time_point start, Clock::time_point stop) {
  return 1.0 + kFps * std::chrono::duration<double>(stop - start).count();
}

Lag LagAt(const std::vector<std::uint64_t>& received,
          const std::vector<Clock::time_point>& starts, Clock::time_point now) {
  Lag lag;
  for (std::size_t i = 0; i < received.size() && i < starts.size(); ++i) {
    const double behind =
        FramesDue(starts[i], now) - static_cast<double>(received[i]);
    lag.frames += behind;
    lag.worstS = std::max(lag.worstS, behind / kFps);
  }
  return lag;
}

bool CaughtUp(const Lag& lag, std::size_t cameras) {
  constexpr double kFramesOnTheirWay = 2.0;
  return lag.frames <= kFramesOnTheirWay * static_cast<double>(cameras);
}

void SleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

Meter::Meter(const CamsimFleet& fleet)
    : fleet_(fleet),
      machine_(ReadMachineTicks()),
      camsimCpu_(fleet.CpuSeconds()),
      start_(Clock::now()),
      // Last, so that reading the others is not charged to the window.
      processCpu_(ProcessCpuSeconds()) {}

MeterReading Meter::Read() const {
  const double processCpu = ProcessCpuSeconds();
  const Clock::time_point end = Clock::now();
  const double camsimCpu = fleet_.CpuSeconds();
  const MachineTicks machine = ReadMachineTicks();
  MeterReading reading;
  reading.seconds = std::chrono::duration<double>(end - start_).count();
  if (reading.seconds <= 0.0) return reading;
  reading.cpuShare = (processCpu - processCpu_) / reading.seconds;
  reading.camsimShare = (camsimCpu - camsimCpu_) / reading.seconds;
  const std::uint64_t total = machine.total - machine_.total;
  if (total > 0) {
    reading.machineBusy = static_cast<double>(machine.busy - machine_.busy) /
                          static_cast<double>(total);
  }
  return reading;
}

Meter::MachineTicks Meter::ReadMachineTicks() {
  // The first line of /proc/stat: "cpu user nice system idle iowait irq
  // softirq steal guest guest_nice" in clock ticks summed over all cores;
  // the guest times are already inside user and nice.
  std::ifstream file("/proc/stat");
  std::string line;
  std::getline(file, line);
  std::istringstream fields(line);
  std::string name;
  fields >> name;
  MachineTicks ticks;
  std::uint64_t value = 0;
  for (int field = 0; field < 8 && fields >> value; ++field) {
    ticks.total += value;
    const bool waiting = field == 3 || field == 4;  // idle, iowait
    if (!waiting) ticks.busy += value;
  }
  return ticks;
}

double Meter::ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

}  // namespace scale
