#include "command/wait_ack.h"

#include "command/wire.h"

namespace quorvel::command {

CommandStatus WaitAck(const platform::Socket& socket, std::int32_t expected,
                      const platform::TransferLimits& limits) {
  WirePair ack{};
  switch (platform::ReceiveAll(socket, ack.data(), kPairSize, limits)) {
    case platform::IoResult::kOk:
      break;
    case platform::IoResult::kTimedOut:
      return CommandStatus::kNoAnswer;
    case platform::IoResult::kClosed:
    case platform::IoResult::kFailed:
      return CommandStatus::kReceiveFailed;
  }
  return PairFirst(ack) == expected && PairSecond(ack) == 0
             ? CommandStatus::kOk
             : CommandStatus::kBadAck;
}

}  // namespace quorvel::command
