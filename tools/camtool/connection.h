// One connection to a camera for the length of a camtool command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace camtool {

class Connection {
 public:
  enum class Kind {
    kFlash,      // command channel only: flash operations
    kNoDisplay,  // video without a window: items and snapshots
  };

  // Nothing when the camera cannot be reached.
  static std::optional<Connection> Open(const std::string& address, Kind kind,
                                        std::int32_t width = 0,
                                        std::int32_t height = 0);

  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&&) = delete;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  // Disconnects, so the camera is released however a command ends.
  ~Connection();

  const char* handle() const { return handle_; }

 private:
  explicit Connection(const char* handle) : handle_(handle) {}
  const char* handle_;
};

}  // namespace camtool
