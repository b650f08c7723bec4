#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "quorvel/quorvel.h"

namespace camtool {
namespace {

// The one list of camtool's commands: what the command line takes, what
// the usage text says and what runs.
struct CommandShape {
  std::string_view name;
  Command command;
  std::string_view arguments;  // as the usage text names them
  std::size_t count;
  std::string_view help;  // lines after the first are indented by the caller
  Runner run;
};

constexpr CommandShape kCommands[] = {
    {"get", Command::kGet, "ITEM", 1, "print a smart-motion item", GetItem},
    {"set", Command::kSet, "ITEM VALUE", 2,
     "set a camera item (not 207, 208 or 209: they\n"
     "live in the library and end with camtool)",
     SetItem},
    {"record-read", Command::kReadRecord, "FILE", 1,
     "save the 372-byte device record to FILE", ReadRecord},
    {"record-write", Command::kWriteRecord, "FILE", 1,
     "write the device record from FILE (372 bytes);\n"
     "the camera keeps its own bytes 0-7 and 164-179",
     WriteRecord},
    {"area-read", Command::kReadArea, "N FILE", 2,
     "save flash area N (1 to 6, 524288 bytes)", ReadArea},
    {"areas-write", Command::kWriteAreas, "FILE", 1,
     "write FILE (1 to 2621440 bytes) to areas 2 on", WriteAreas},
    {"snapshot", Command::kSnapshot, "FILE", 1,
     "save one frame; FILE ends in .bmp (a picture)\n"
     "or .raw (the pixels, one byte each)",
     Snapshot},
    {"info", Command::kInfo, "", 0,
     "print the device name, the rates received and\n"
     "displayed over 3 s, and the display decimation",
     Info},
};

// The commands' part of the usage text, in two columns.
void PrintCommands(std::FILE* to) {
  constexpr int kColumn = 23;
  for (const CommandShape& shape : kCommands) {
    std::string left = "  " + std::string(shape.name);
    if (shape.count > 0) left += " " + std::string(shape.arguments);
    std::string_view help = shape.help;
    for (bool first = true; !help.empty(); first = false) {
      const std::size_t end = help.find('\n');
      const std::string_view line = help.substr(0, end);
      std::fprintf(to, "%-*s%.*s\n", kColumn, first ? left.c_str() : "",
                   static_cast<int>(line.size()), line.data());
      help = end == std::string_view::npos ? std::string_view()
                                           : help.substr(end + 1);
    }
  }
}

constexpr std::int32_t kFirstArea = 1;
constexpr std::int32_t kLastArea = 6;

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// The library keeps a name that already ends in .bmp or .raw, in any case,
// and appends the extension to any other; camtool asks for the ending so
// the file is always saved under the name given.
bool EndsWith(std::string_view name, std::string_view extension) {
  if (name.size() <= extension.size()) return false;
  return std::equal(extension.begin(), extension.end(),
                    name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                    [](char a, char b) {
                      return a == std::tolower(static_cast<unsigned char>(b));
                    });
}

// Items that live in the library: camtool's connection ends with the
// process, and they with it, so setting one could never have an effect.
const char* LibraryItemName(std::int32_t item) {
  switch (item) {
    case RVX_ITEM_MIN_OBJECT_SIZE:
      return "the minimum object size";
    case RVX_ITEM_HIGHLIGHT:
      return "the highlight selection";
    case RVX_ITEM_DETECT_OBJECTS:
      return "object detection";
    default:
      return nullptr;
  }
}

std::optional<std::string> CheckItem(std::string_view text, Request* request) {
  if (!tools::ParseInt32(text, &request->item)) {
    return "item must be a whole number, not " + Quoted(text);
  }
  return std::nullopt;
}

// Every argument of the command, checked before anything is connected.
std::optional<std::string> CheckArguments(
    const std::vector<std::string_view>& words, Request* request) {
  switch (request->command) {
    case Command::kGet:
      return CheckItem(words[0], request);
    case Command::kSet:
      if (auto refused = CheckItem(words[0], request)) return refused;
      if (const char* name = LibraryItemName(request->item)) {
        return "item " + std::string(words[0]) + " (" + name +
               ") lives in the library, not the camera: a value set by "
               "camtool would be lost when camtool exits";
      }
      if (!tools::ParseInt32(words[1], &request->value)) {
        return "value must be a 32-bit whole number, not " + Quoted(words[1]);
      }
      return std::nullopt;
    case Command::kReadArea:
      if (!tools::ParseInt32(words[0], &request->area) ||
          request->area < kFirstArea || request->area > kLastArea) {
        return "area must be 1 to 6, not " + Quoted(words[0]);
      }
      request->path = words[1];
      return std::nullopt;
    case Command::kSnapshot:
      request->path = words[0];
      request->bmp = EndsWith(request->path, ".bmp");
      if (!request->bmp && !EndsWith(request->path, ".raw")) {
        return "snapshot FILE must end in .bmp (a picture) or .raw (the "
               "pixels), not " +
               Quoted(words[0]);
      }
      return std::nullopt;
    case Command::kInfo:
      return std::nullopt;
    case Command::kReadRecord:
    case Command::kWriteRecord:
    case Command::kWriteAreas:
      request->path = words[0];
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

Parsed ParseCommandLine(int argc, const char* const* argv) {
  Request request;
  if (tools::WantsHelp(argc, argv)) {
    request.help = true;
    return request;
  }
  if (argc <= 1) return std::string();
  tools::Arguments words(argc, argv);
  while (words.AtOption()) {
    const std::string_view option = words.Take();
    if (option != "--address" && option != "--size") {
      return "unknown option " + std::string(option) + " (try --help)";
    }
    const std::optional<std::string_view> value = words.Value();
    if (!value || value->empty()) return std::string(option) + " needs a value";
    if (option == "--address") {
      request.address = *value;
    } else if (auto refused =
                   tools::ParseSize(*value, &request.width, &request.height)) {
      return "--size: " + *refused;
    }
  }
  if (words.done()) return "no command given (try --help)";
  const std::string_view name = words.Take();
  const auto shape =
      std::find_if(std::begin(kCommands), std::end(kCommands),
                   [&](const CommandShape& each) { return each.name == name; });
  if (shape == std::end(kCommands)) {
    return "unknown command " + std::string(name) + " (try --help)";
  }
  request.command = shape->command;
  request.run = shape->run;
  const std::vector<std::string_view> arguments = words.Rest();
  if (arguments.size() != shape->count) {
    return "usage: camtool --address A " + std::string(name) +
           (shape->count > 0 ? " " : "") + std::string(shape->arguments);
  }
  if (auto refused = CheckArguments(arguments, &request)) return *refused;
  if (request.address.empty()) return "--address is required";
  return request;
}

void PrintUsage(std::FILE* to) {
  std::fprintf(
      to,
      "usage: camtool --address A [--size WxH] COMMAND ARGUMENTS\n"
      "\n"
      "Commands:\n");
  PrintCommands(to);
  std::fprintf(
      to,
      "\n"
      "Options (also as --name=value):\n"
      "  --address A          the camera's address\n"
      "  --size WxH           picture size asked for on connect: width 4 to\n"
      "                       32767, height 1 to 32767 (default 640x480)\n"
      "  --help               this text\n"
      "\n"
      "Exit status: 0 on success, 1 with a message on stderr when the camera\n"
      "or a file fails, 2 when the command line is refused.\n"
      "Example: camtool --address 127.0.0.1 record-read record.bin\n");
}

}  // namespace camtool
