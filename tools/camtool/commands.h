// camtool's commands. Each returns the one-line reason it failed, or
// nothing when it succeeded; its arguments were checked by the parser.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"

namespace camtool {

using Failure = std::optional<std::string>;

Failure GetItem(const Request& request);
Failure SetItem(const Request& request);
Failure ReadRecord(const Request& request);
Failure WriteRecord(const Request& request);
Failure ReadArea(const Request& request);
Failure WriteAreas(const Request& request);
Failure Snapshot(const Request& request);
Failure Info(const Request& request);

}  // namespace camtool
