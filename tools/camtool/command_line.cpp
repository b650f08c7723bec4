#include "command_line.h"

#include <charconv>
#include <cstdio>

namespace camtool {
namespace {

struct CommandShape {
  std::string_view name;
  std::size_t arguments;
};

constexpr CommandShape kCommands[] = {
    {"get", 1},          {"set", 2},       {"record-read", 1},
    {"record-write", 1}, {"area-read", 2}, {"areas-write", 1},
    {"snapshot", 1},
};

const CommandShape* FindCommand(std::string_view name) {
  for (const CommandShape& shape : kCommands) {
    if (shape.name == name) return &shape;
  }
  return nullptr;
}

// "WxH" with both parts positive.
bool ParseSize(std::string_view text, std::int32_t* width,
               std::int32_t* height) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  return ParseInt32(text.substr(0, x), width) &&
         ParseInt32(text.substr(x + 1), height) && *width > 0 && *height > 0;
}

}  // namespace

bool ParseInt32(std::string_view text, std::int32_t* value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end;
}

Parsed ParseCommandLine(int argc, const char* const* argv) {
  Request request;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      request.help = true;
      return request;
    }
    if (word.substr(0, 2) != "--") break;
    if (i + 1 >= argc) return std::string(word) + " needs a value";
    const std::string_view value = argv[++i];
    if (word == "--address") {
      request.address = value;
    } else if (word == "--size") {
      if (!ParseSize(value, &request.width, &request.height)) {
        return "--size takes WIDTHxHEIGHT, for example 640x480";
      }
    } else {
      return "unknown option " + std::string(word);
    }
  }
  if (request.address.empty()) return "--address is required";
  if (i >= argc) return "no command given (try --help)";
  request.command = argv[i++];
  const CommandShape* shape = FindCommand(request.command);
  if (shape == nullptr) return "unknown command " + request.command;
  request.arguments.assign(argv + i, argv + argc);
  if (request.arguments.size() != shape->arguments) {
    return request.command + " takes " + std::to_string(shape->arguments) +
           (shape->arguments == 1 ? " argument" : " arguments");
  }
  return request;
}

void PrintUsage() {
  std::printf(
      "usage: camtool --address A [--size WxH] COMMAND ARGUMENTS\n"
      "\n"
      "Commands:\n"
      "  get ITEM             print a smart-motion item\n"
      "  set ITEM VALUE       set a smart-motion item\n"
      "  record-read FILE     save the 372-byte device record to FILE\n"
      "  record-write FILE    write the device record from FILE (372 bytes);\n"
      "                       the camera keeps its own bytes 0-7 and 164-179\n"
      "  area-read N FILE     save flash area N (1 to 6, 524288 bytes)\n"
      "  areas-write FILE     write FILE (1 to 2621440 bytes) to areas 2 on\n"
      "  snapshot FILE        save one frame as FILE.bmp or FILE.raw\n"
      "\n"
      "Options:\n"
      "  --address A          the camera's address\n"
      "  --size WxH           picture size asked for on connect (snapshot)\n"
      "  --help               this text\n"
      "\n"
      "Exit status 0 on success, 1 with a message on stderr on failure.\n"
      "Example: camtool --address 127.0.0.1 record-read record.bin\n");
}

}  // namespace camtool
