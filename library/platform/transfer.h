// Whole-buffer transfers over a borrowed socket, bounded in time: what both
// camera channels are read and written with.
#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace quorvel::platform {

// How long a transfer may take: at most idleMs without a byte moving, and,
// when hasDeadline is set, nothing after the tick count deadline. The idle
// bound never cuts off a slow peer that keeps sending; the deadline does.
struct TransferLimits {
  std::uint32_t idleMs = kWaitForever;
  bool hasDeadline = false;
  std::uint32_t deadline = 0;

  static TransferLimits Idle(std::uint32_t ms) { return {ms, false, 0}; }
  // At most ms from now, however the bytes trickle.
  static TransferLimits Within(std::uint32_t ms) {
    return {ms, true, TickCount() + ms};
  }
  // The wait allowed for the next byte; 0 once the deadline has passed.
  std::uint32_t NextWait() const;
};

// Sends count bytes (nothing for count <= 0).
[[nodiscard]] IoResult SendAll(const Socket& socket, const void* bytes,
                               std::int64_t count,
                               const TransferLimits& limits);

// Reads exactly count bytes (nothing for count <= 0). Interrupted and
// would-block receives are repeated; the peer closing, an error or the
// limits running out fails.
[[nodiscard]] IoResult ReceiveAll(const Socket& socket, void* bytes,
                                  std::int64_t count,
                                  const TransferLimits& limits);

// Reads and drops count bytes, keeping the stream in step after a body that
// does not fit its destination.
[[nodiscard]] IoResult DiscardBytes(const Socket& socket, std::int64_t count,
                                    const TransferLimits& limits);

// Reads and drops whatever arrives until the connection has been quiet for
// quietMs: kOk then, kTimedOut when the limits ran out first.
[[nodiscard]] IoResult DrainUntilQuiet(const Socket& socket,
                                       std::uint32_t quietMs,
                                       const TransferLimits& limits);

}  // namespace quorvel::platform
