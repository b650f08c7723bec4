// get and set: smart-motion items over a video connection, which camera
// items need (a flash connection has no receiver and is refused them).
#include <cstdio>

#include "commands.h"
#include "connection.h"
#include "quorvel/quorvel.h"

namespace camtool {

Failure GetItem(const Request& request) {
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kNoDisplay, &whyNot);
  if (!camera) return whyNot;
  std::int32_t value = 0;
  if (rvx_GetSmartMotion(camera->handle(), request.item, &value) == 0) {
    return "cannot read item " + std::to_string(request.item);
  }
  std::printf("%d\n", static_cast<int>(value));
  return std::nullopt;
}

Failure SetItem(const Request& request) {
  std::string whyNot;
  const auto camera =
      Connection::Open(request, Connection::Kind::kNoDisplay, &whyNot);
  if (!camera) return whyNot;
  if (rvx_SetSmartMotion(camera->handle(), request.item, request.value) == 0) {
    return "camera did not take item " + std::to_string(request.item) + " = " +
           std::to_string(request.value);
  }
  return std::nullopt;
}

}  // namespace camtool
