#include "view_options.h"

#include <vector>

#include "arguments.h"

namespace camview {

std::optional<std::string> ParseViewOptions(int argc, const char* const* argv,
                                            ViewOptions* options) {
  tools::Arguments words(argc, argv);
  std::vector<std::string_view> positional;
  bool sized = false;
  while (!words.done()) {
    if (!words.AtOption()) {
      positional.push_back(words.Take());
      continue;
    }
    const std::string_view option = words.Take();
    if (option != "--size") {
      return "unknown option " + std::string(option) + " (try --help)";
    }
    const std::optional<std::string_view> value = words.Value();
    if (!value) return "--size needs a value";
    if (auto refused =
            tools::ParseSize(*value, &options->width, &options->height)) {
      return "--size: " + *refused;
    }
    sized = true;
  }
  if (positional.empty()) return "no camera address given (try --help)";
  options->address = positional[0];
  if (positional.size() == 3 && !sized) {
    return tools::CheckSize(positional[1], positional[2], &options->width,
                            &options->height);
  }
  if (positional.size() != 1) {
    return "usage: camview [--size WxH] ADDRESS, or camview ADDRESS WIDTH "
           "HEIGHT";
  }
  return std::nullopt;
}

void PrintUsage(std::FILE* to) {
  std::fprintf(
      to,
      "usage: camview [--size WxH] ADDRESS\n"
      "       camview ADDRESS WIDTH HEIGHT\n"
      "  picture size: width 4 to 32767, height 1 to 32767 (default "
      "640x480)\n"
      "  keys: + - zoom, arrows scroll, d detection on/off,\n"
      "        a all objects, 1-9 object n, n none, q quit\n"
      "Exit status 2 when the command line is refused, 1 when the display\n"
      "or the camera fails.\n");
}

}  // namespace camview
