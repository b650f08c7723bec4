// Reading the camera's acknowledgement of a command, or its greeting.
#pragma once

#include <cstdint>

#include "command/command_link.h"
#include "command/send_command.h"

namespace quorvel {

// Reads one 8-byte acknowledgement: kOk when its code is expected and its
// status is 0, kBadAck for any other pair, and the read's failure
// otherwise.
[[nodiscard]] CommandStatus WaitAck(CommandLink& link, std::int32_t expected);
[[nodiscard]] CommandStatus WaitAck(const platform::Socket& socket,
                                    std::int32_t expected,
                                    const platform::TransferLimits& limits);

}  // namespace quorvel
