// camview's command line, read before any display is opened or any
// address looked up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace camview {

struct ViewOptions {
  std::string address;
  // 0 lets the library choose its default picture size.
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The options, or the one-line reason the words do not form them. --help
// is the caller's to look for first.
std::optional<std::string> ParseViewOptions(int argc, const char* const* argv,
                                            ViewOptions* options);

void PrintUsage(std::FILE* to);

}  // namespace camview
