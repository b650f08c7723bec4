#include "scale/command_client.h"

#include "command/wait_ack.h"
#include "command/wire.h"
#include "platform/transfer.h"

namespace scale {

using namespace quorvel::command;
using quorvel::Succeeded;
using quorvel::platform::IoResult;

namespace {
const quorvel::platform::TransferLimits kLimits = quorvel::CommandLimits();
}  // namespace

quorvel::platform::Socket OpenCommandChannel(std::uint32_t ipv4) {
  quorvel::platform::Socket channel =
      quorvel::platform::Socket::ConnectTcp(ipv4, kCommandPort);
  if (channel.valid() &&
      !Succeeded(quorvel::WaitAck(channel, kGreetingCode, kLimits))) {
    channel.Close();
  }
  return channel;
}

bool SendBareCommand(const quorvel::platform::Socket& channel,
                     std::int32_t code) {
  const WirePair command = EncodePair(code, 0);
  if (quorvel::platform::SendAll(channel, command.data(), kPairSize, kLimits) !=
          IoResult::kOk ||
      !Succeeded(quorvel::WaitAck(channel, kAckCode, kLimits))) {
    return false;
  }
  if (code != kCompletionCode) return true;
  WirePair reply{};
  return quorvel::platform::ReceiveAll(channel, reply.data(), kPairSize,
                                       kLimits) == IoResult::kOk &&
         PairFirst(reply) == kCompletionCode;
}

}  // namespace scale
