#include "scale/command_client.h"

#include "command/transfer.h"
#include "command/wire.h"

namespace scale {

using namespace quorvel::command;

quorvel::platform::Socket OpenCommandChannel(std::uint32_t ipv4) {
  quorvel::platform::Socket channel =
      quorvel::platform::Socket::ConnectTcp(ipv4, kCommandPort);
  if (channel.valid() && !WaitAck(channel, kGreetingCode)) channel.Close();
  return channel;
}

bool SendBareCommand(const quorvel::platform::Socket& channel,
                     std::int32_t code) {
  const WirePair command = EncodePair(code, 0);
  if (!SendAll(channel, command.data(), static_cast<std::int32_t>(kPairSize)) ||
      !WaitAck(channel, kAckCode)) {
    return false;
  }
  if (code != kCompletionCode) return true;
  WirePair reply{};
  return ReceiveAll(channel, reply.data(),
                    static_cast<std::int32_t>(kPairSize)) ==
             ReceiveOutcome::kOk &&
         PairFirst(reply) == kCompletionCode;
}

}  // namespace scale
