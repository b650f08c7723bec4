// get and set: smart-motion items over a video connection, which camera
// items need (a flash connection has no receiver and is refused them).
#include <cstdio>

#include "commands.h"
#include "connection.h"
#include "quorvel/quorvel.h"

namespace camtool {

Failure GetItem(const Request& request) {
  std::int32_t item = 0;
  if (!ParseInt32(request.arguments[0], &item)) {
    return "item must be a number: " + request.arguments[0];
  }
  const auto camera =
      Connection::Open(request.address, Connection::Kind::kNoDisplay,
                       request.width, request.height);
  if (!camera) return "cannot connect to " + request.address;
  std::int32_t value = 0;
  if (rvx_GetSmartMotion(camera->handle(), item, &value) == 0) {
    return "cannot read item " + request.arguments[0];
  }
  std::printf("%d\n", static_cast<int>(value));
  return std::nullopt;
}

Failure SetItem(const Request& request) {
  std::int32_t item = 0;
  std::int32_t value = 0;
  if (!ParseInt32(request.arguments[0], &item)) {
    return "item must be a number: " + request.arguments[0];
  }
  if (!ParseInt32(request.arguments[1], &value)) {
    return "value must be a 32-bit number: " + request.arguments[1];
  }
  const auto camera =
      Connection::Open(request.address, Connection::Kind::kNoDisplay,
                       request.width, request.height);
  if (!camera) return "cannot connect to " + request.address;
  if (rvx_SetSmartMotion(camera->handle(), item, value) == 0) {
    return "camera did not take item " + request.arguments[0] + " = " +
           request.arguments[1];
  }
  return std::nullopt;
}

}  // namespace camtool
