// One connection to a camera for the length of a camtool command.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"

namespace camtool {

class Connection {
 public:
  enum class Kind {
    kFlash,      // command channel only: flash operations
    kNoDisplay,  // video without a window: items, snapshots, info
  };

  // Connects to the request's address, with its size for video. Nothing
  // when the camera cannot be reached, with the reason in *whyNot.
  static std::optional<Connection> Open(const Request& request, Kind kind,
                                        std::string* whyNot);

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
