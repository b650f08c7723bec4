// The command channel's transfer primitives, on a borrowed socket.
#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace quorvel::command {

// Sends count bytes; false on a socket error or a closed peer.
[[nodiscard]] bool SendAll(const platform::Socket& socket, const void* bytes,
                           std::int32_t count);

enum class ReceiveOutcome { kOk, kClosed, kFailed };

// Reads exactly count bytes (nothing for count <= 0). Interrupted and
// would-block receives are repeated; any other error, or the peer closing,
// fails.
[[nodiscard]] ReceiveOutcome ReceiveAll(const platform::Socket& socket,
                                        void* bytes, std::int32_t count);

// Reads and drops count bytes, keeping the stream in step after a body that
// does not fit its destination.
[[nodiscard]] ReceiveOutcome DiscardBytes(const platform::Socket& socket,
                                          std::int64_t count);

// Reads one 8-byte acknowledgement; true when its code is expected and its
// status is 0.
[[nodiscard]] bool WaitAck(const platform::Socket& socket,
                           std::int32_t expected);

}  // namespace quorvel::command
