#include "connection.h"

#include <utility>

#include "arguments.h"
#include "connect_failure.h"
#include "quorvel/quorvel.h"

namespace camtool {

std::optional<Connection> Connection::Open(const Request& request, Kind kind,
                                           std::string* whyNot) {
  const char* address = request.address.c_str();
  const char* handle =
      kind == Kind::kFlash
          ? rvx_FlashConnectCameraA(address)
          : rvx_ConnectCameraNoDisplayA(address, request.width, request.height);
  if (handle != nullptr) return Connection(handle);
  *whyNot = tools::ExplainConnectFailure(
      request.address,
      kind == Kind::kFlash ? tools::ConnectKind::kFlash
                           : tools::ConnectKind::kVideo,
      request.width > 0 ? request.width : tools::kDefaultWidth,
      request.height > 0 ? request.height : tools::kDefaultHeight);
  return std::nullopt;
}

Connection::Connection(Connection&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

Connection::~Connection() {
  if (handle_ != nullptr) rvx_DisconnectCamera(handle_);
}

}  // namespace camtool
