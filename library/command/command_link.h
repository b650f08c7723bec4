// The connection a command transaction runs over: the camera's socket for
// the library, memory for the fuzz targets, which must not pay for a
// socket and a camera thread per input.
#pragma once

#include <cstdint>

#include "platform/socket.h"
#include "platform/transfer.h"

namespace quorvel {

class CommandLink {
 public:
  virtual ~CommandLink() = default;
  [[nodiscard]] virtual platform::IoResult Send(const void* bytes,
                                                std::int64_t count) = 0;
  // Exactly count bytes.
  [[nodiscard]] virtual platform::IoResult Receive(void* bytes,
                                                   std::int64_t count) = 0;
  [[nodiscard]] virtual platform::IoResult Discard(std::int64_t count) = 0;
  // Whether bytes nobody has asked for yet are waiting.
  [[nodiscard]] virtual bool HasUnread() = 0;
  // Reads and drops what arrives until nothing has come for quietMs.
  [[nodiscard]] virtual platform::IoResult DrainUntilQuiet(
      std::uint32_t quietMs) = 0;
};

// A borrowed socket, within fixed limits; never closes it.
class SocketLink final : public CommandLink {
 public:
  SocketLink(const platform::Socket& socket,
             const platform::TransferLimits& limits)
      : socket_(socket), limits_(limits) {}
  platform::IoResult Send(const void* bytes, std::int64_t count) override {
    return platform::SendAll(socket_, bytes, count, limits_);
  }
  platform::IoResult Receive(void* bytes, std::int64_t count) override {
    return platform::ReceiveAll(socket_, bytes, count, limits_);
  }
  platform::IoResult Discard(std::int64_t count) override {
    return platform::DiscardBytes(socket_, count, limits_);
  }
  bool HasUnread() override { return socket_.WaitReadable(0); }
  platform::IoResult DrainUntilQuiet(std::uint32_t quietMs) override {
    return platform::DrainUntilQuiet(socket_, quietMs, limits_);
  }

 private:
  const platform::Socket& socket_;
  const platform::TransferLimits limits_;
};

}  // namespace quorvel
