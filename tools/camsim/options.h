// camsim's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "camera_server.h"
#include "items.h"

namespace camsim {

struct Options {
  std::string address = "127.0.0.1";
  std::uint16_t sps = item::kDefaultInternalSps;
  double fps = kDefaultFrameRate;  // 0: as fast as the connection takes frames
  bool maskMode = false;
  std::string flashPath;  // empty: factory flash, not kept
};

// The options, or the one-line reason the words do not form them. --help
// is the caller's to look for first.
std::optional<std::string> ParseOptions(int argc, const char* const* argv,
                                        Options* options);

void PrintUsage();

}  // namespace camsim
