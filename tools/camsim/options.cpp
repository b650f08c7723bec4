#include "options.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "arguments.h"

namespace camsim {
namespace {

// Item 201 reaches a client as five times this value kept to 16 bits, then
// divided by 5 again, so only 0 to 6553 come back as given.
constexpr std::int32_t kMaxSps = 6553;
// The frame period is kept in whole microseconds: slower rates would
// overflow it, faster ones are "as fast as possible" anyway.
constexpr double kMinFps = 0.001;
constexpr double kMaxFps = 1e6;

// Every option takes a value.
constexpr std::string_view kOptions[] = {"--address", "--sps", "--fps",
                                         "--mode", "--flash"};

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

std::optional<std::string> ParseOne(std::string_view name,
                                    std::string_view value, Options* options) {
  if (name == "--address") {
    options->address = value;
  } else if (name == "--sps") {
    std::int32_t sps = 0;
    if (!tools::ParseInt32(value, &sps) || sps < 0 || sps > kMaxSps) {
      return "--sps takes a whole number from 0 to " + std::to_string(kMaxSps) +
             ", not " + Quoted(value);
    }
    options->sps = static_cast<std::uint16_t>(sps);
  } else if (name == "--fps") {
    double fps = 0;
    if (!tools::ParseFiniteDouble(value, &fps) ||
        (fps != 0 && (fps < kMinFps || fps > kMaxFps))) {
      return "--fps takes 0 (as fast as possible) or a rate from 0.001 to "
             "1000000, not " +
             Quoted(value);
    }
    options->fps = fps;
  } else if (name == "--mode") {
    if (value != "image" && value != "mask") {
      return "--mode takes image or mask, not " + Quoted(value);
    }
    options->maskMode = value == "mask";
  } else {  // --flash
    if (value.empty()) return "--flash needs a file name";
    options->flashPath = value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseOptions(int argc, const char* const* argv,
                                        Options* options) {
  tools::Arguments words(argc, argv);
  while (!words.done()) {
    if (!words.AtOption()) {
      return "unexpected word " + Quoted(words.Take()) + " (try --help)";
    }
    const std::string_view name = words.Take();
    if (std::find(std::begin(kOptions), std::end(kOptions), name) ==
        std::end(kOptions)) {
      return "unknown option " + std::string(name) + " (try --help)";
    }
    const std::optional<std::string_view> value = words.Value();
    if (!value) return std::string(name) + " needs a value";
    if (auto refused = ParseOne(name, *value, options)) return refused;
  }
  return std::nullopt;
}

void PrintUsage() {
  std::printf(
      "usage: camsim [--address A] [--sps N] [--fps N] [--mode image|mask]\n"
      "              [--flash FILE]\n"
      "  --address A  loopback address to serve (default 127.0.0.1)\n"
      "  --sps N      value the camera reports for its internal SPS, 0 to "
      "%d\n"
      "               (default %u)\n"
      "  --fps N      frames a second while streaming, 0.001 to 1000000; 0 "
      "as fast\n"
      "               as possible (default %g)\n"
      "  --mode M     stream pictures (image, default) or motion masks "
      "(mask)\n"
      "  --flash FILE keep the flash areas in FILE: loaded at start when it\n"
      "               exists, saved after every accepted flash write\n"
      "Options also take their value as --name=value. A command line camsim\n"
      "refuses ends it with exit status 2.\n",
      kMaxSps, static_cast<unsigned>(item::kDefaultInternalSps),
      kDefaultFrameRate);
}

}  // namespace camsim
