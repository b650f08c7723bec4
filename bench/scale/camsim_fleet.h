// The simulated cameras of one run, each a camsim process of its own, so
// that the bench process's CPU time is the client's alone.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scale/unique_fd.h"

namespace scale {

// Camera index of a run on subnet: 127.0.<subnet>.(index + 1).
std::string CameraAddress(int subnet, int index);
std::uint32_t CameraIpv4(int subnet, int index);

class CamsimFleet {
 public:
  // Starts `cameras` camsims on the subnet, streaming mode ("image" or
  // "mask") at kFps once asked to, and waits with a deadline until each
  // accepts connections.
  CamsimFleet(const std::string& program, int subnet, int cameras,
              const std::string& mode);
  // Ends and reaps whatever still runs.
  ~CamsimFleet();
  CamsimFleet(const CamsimFleet&) = delete;
  CamsimFleet& operator=(const CamsimFleet&) = delete;

  bool ready() const { return ready_; }
  // User and system time of all the camsims so far, in seconds.
  double CpuSeconds() const;
  // Ends every camsim and returns the frames each says it sent; nothing
  // when one of them did not say.
  std::optional<std::vector<std::uint64_t>> Stop();

 private:
  struct Process {
    pid_t pid = -1;
    UniqueFd output;  // the read end of camsim's standard output
  };
  bool Spawn(const std::string& program, const std::string& address,
             const std::string& mode);
  bool WaitUntilListening(int subnet, int cameras);
  void EndAll();

  std::vector<Process> processes_;
  bool ready_ = false;
};

}  // namespace scale
