// What the user asked camtool to do, read from the command line. Every
// word is checked here, so a command line camtool refuses never reaches a
// camera.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>

namespace camtool {

enum class Command {
  kGet,
  kSet,
  kReadRecord,
  kWriteRecord,
  kReadArea,
  kWriteAreas,
  kSnapshot,
  kInfo,
};

struct Request;
// Runs a request's command; the one-line reason it failed, or nothing.
using Runner = std::optional<std::string> (*)(const Request&);

struct Request {
  bool help = false;
  std::string address;
  // 0 lets the library choose its default picture size.
  std::int32_t width = 0;
  std::int32_t height = 0;
  Command command = Command::kInfo;
  Runner run = nullptr;
  std::int32_t item = 0;   // get, set
  std::int32_t value = 0;  // set
  std::int32_t area = 0;   // area-read
  std::string path;        // the commands that read or write a file
  bool bmp = false;        // snapshot: a BMP picture, else raw pixels
};

// A request, or the one-line reason the words do not form one. An empty
// reason means the usage text is the answer (camtool run bare).
using Parsed = std::variant<Request, std::string>;
Parsed ParseCommandLine(int argc, const char* const* argv);

// To stdout for --help, to stderr when the command line was refused.
void PrintUsage(std::FILE* to);

}  // namespace camtool
