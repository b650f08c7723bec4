// What the user asked camtool to do, read from the command line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace camtool {

struct Request {
  bool help = false;
  std::string address;
  // 0 lets the library choose its default picture size.
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string command;
  std::vector<std::string> arguments;  // exactly as many as command takes
};

// A request, or the one-line reason the words do not form one.
using Parsed = std::variant<Request, std::string>;
Parsed ParseCommandLine(int argc, const char* const* argv);

// The whole text as a decimal int32; false for anything else, so "12x" or
// an overflowing number is never taken as a nearby value.
bool ParseInt32(std::string_view text, std::int32_t* value);

void PrintUsage();

}  // namespace camtool
