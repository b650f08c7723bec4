// camtool: command-line access to one camera for people and scripts.
#include <cstdio>
#include <string>
#include <variant>

#include "command_line.h"
#include "commands.h"

namespace {

using camtool::Failure;
using camtool::Request;

Failure Run(const Request& request) {
  const std::string& command = request.command;
  if (command == "get") return camtool::GetItem(request);
  if (command == "set") return camtool::SetItem(request);
  if (command == "record-read") return camtool::ReadRecord(request);
  if (command == "record-write") return camtool::WriteRecord(request);
  if (command == "area-read") return camtool::ReadArea(request);
  if (command == "areas-write") return camtool::WriteAreas(request);
  return camtool::Snapshot(request);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "camtool: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const camtool::Parsed parsed = camtool::ParseCommandLine(argc, argv);
  if (const auto* message = std::get_if<std::string>(&parsed)) {
    return Fail(*message);
  }
  const Request& request = std::get<Request>(parsed);
  if (request.help) {
    camtool::PrintUsage();
    return 0;
  }
  const Failure failure = Run(request);
  return failure ? Fail(*failure) : 0;
}
