// A stream of bytes to read whole pieces from: a socket for the library,
// memory for the fuzz targets, which must not pay for a socket per input.
#pragma once

#include <cstdint>

#include "platform/socket.h"
#include "platform/transfer.h"

namespace quorvel::platform {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Exactly count bytes (nothing for count <= 0).
  [[nodiscard]] virtual IoResult Read(void* bytes, std::int64_t count) = 0;
  // Reads and drops count bytes.
  [[nodiscard]] virtual IoResult Skip(std::int64_t count) = 0;
};

// A borrowed socket, read within fixed limits.
class SocketStream final : public ByteStream {
 public:
  SocketStream(const Socket& socket, const TransferLimits& limits)
      : socket_(socket), limits_(limits) {}
  IoResult Read(void* bytes, std::int64_t count) override {
    return ReceiveAll(socket_, bytes, count, limits_);
  }
  IoResult Skip(std::int64_t count) override {
    return DiscardBytes(socket_, count, limits_);
  }

 private:
  const Socket& socket_;
  const TransferLimits limits_;
};

}  // namespace quorvel::platform
