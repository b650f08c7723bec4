// The least receiver, as the lower bound for the library: plain sockets to
// each camsim, and one thread that reads every data channel with poll and
// recv and counts frames from the packet headers.
#pragma once

#include <string>

#include "scale/figures.h"
#include "scale/run_config.h"

namespace scale {

// traffic: "image" or "mask".
Figures RunPlainLoop(const RunConfig& config, int cameras,
                     const std::string& traffic);

}  // namespace scale
