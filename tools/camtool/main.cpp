// camtool: command-line access to one camera for people and scripts.
#include <cstdio>
#include <string>
#include <variant>

#include "arguments.h"
#include "command_line.h"
#include "commands.h"

namespace {

using camtool::Failure;
using camtool::Request;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "camtool: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const camtool::Parsed parsed = camtool::ParseCommandLine(argc, argv);
  if (const auto* refused = std::get_if<std::string>(&parsed)) {
    if (refused->empty()) {
      camtool::PrintUsage(stderr);
      return tools::kUsageStatus;
    }
    return Fail(*refused, tools::kUsageStatus);
  }
  const Request& request = std::get<Request>(parsed);
  if (request.help) {
    camtool::PrintUsage(stdout);
    return 0;
  }
  const Failure failure = request.run(request);
  return failure ? Fail(*failure, 1) : 0;
}
