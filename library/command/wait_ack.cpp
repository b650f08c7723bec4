#include "command/wait_ack.h"

#include "command/wire.h"

namespace quorvel {

CommandStatus WaitAck(CommandLink& link, std::int32_t expected) {
  command::WirePair ack{};
  switch (link.Receive(ack.data(), command::kPairSize)) {
    case platform::IoResult::kOk:
      break;
    case platform::IoResult::kTimedOut:
      return CommandStatus::kNoAnswer;
    case platform::IoResult::kClosed:
    case platform::IoResult::kFailed:
      return CommandStatus::kReceiveFailed;
  }
  return command::PairFirst(ack) == expected && command::PairSecond(ack) == 0
             ? CommandStatus::kOk
             : CommandStatus::kBadAck;
}

CommandStatus WaitAck(const platform::Socket& socket, std::int32_t expected,
                      const platform::TransferLimits& limits) {
  SocketLink link(socket, limits);
  return WaitAck(link, expected);
}

}  // namespace quorvel
