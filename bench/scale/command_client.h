// Bare command-channel exchanges without the library: what the least
// client must send to start, stop and fence a camera's stream.
#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace scale {

inline constexpr std::int32_t kStartStreamCommand = 1;
inline constexpr std::int32_t kStopStreamCommand = 2;

// Connects to the camera's command port and reads its greeting; invalid on
// failure.
quorvel::platform::Socket OpenCommandChannel(std::uint32_t ipv4);

// Sends {code, 0} and reads the acknowledgement, and for the completion
// command 256 also its reply header (the completion itself arrives on the
// data channel, behind every frame sent before it).
bool SendBareCommand(const quorvel::platform::Socket& channel,
                     std::int32_t code);

}  // namespace scale
