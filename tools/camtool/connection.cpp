#include "connection.h"

#include <utility>

#include "quorvel/quorvel.h"

namespace camtool {

std::optional<Connection> Connection::Open(const std::string& address,
                                           Kind kind, std::int32_t width,
                                           std::int32_t height) {
  const char* handle =
      kind == Kind::kFlash
          ? rvx_FlashConnectCameraA(address.c_str())
          : rvx_ConnectCameraNoDisplayA(address.c_str(), width, height);
  if (handle == nullptr) return std::nullopt;
  return Connection(handle);
}

Connection::Connection(Connection&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

Connection::~Connection() {
  if (handle_ != nullptr) rvx_DisconnectCamera(handle_);
}

}  // namespace camtool
