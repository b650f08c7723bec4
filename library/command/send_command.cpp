#include "command/send_command.h"

#include "command/codes.h"
#include "command/wait_ack.h"
#include "command/wire.h"
#include "platform/clock.h"

namespace quorvel {

using command::CommandClass;
using command::WirePair;
using platform::IoResult;
using platform::TransferLimits;

namespace {

constexpr std::uint32_t kReplyPauseMs = 10;
constexpr std::uint32_t kCompletionWaitMs = 5000;
// Bytes left over from a failed transaction, or sent unasked, are read
// until the camera has said nothing for this long.
constexpr std::uint32_t kDrainQuietMs = 50;

CommandStatus FromReceive(IoResult result) {
  switch (result) {
    case IoResult::kOk:
      return CommandStatus::kOk;
    case IoResult::kTimedOut:
      return CommandStatus::kNoAnswer;
    case IoResult::kClosed:
    case IoResult::kFailed:
      break;
  }
  return CommandStatus::kReceiveFailed;
}

CommandStatus FromSend(IoResult result) {
  if (result == IoResult::kTimedOut) return CommandStatus::kNoAnswer;
  return result == IoResult::kOk ? CommandStatus::kOk
                                 : CommandStatus::kSendFailed;
}

// The link of the transaction being run, with its results as statuses.
struct Channel {
  CommandLink& link;

  CommandStatus Receive(void* bytes, std::int64_t count) const {
    return FromReceive(link.Receive(bytes, count));
  }
  CommandStatus Pair(WirePair& pair) const {
    pair = {};
    return Receive(pair.data(), command::kPairSize);
  }
};

CommandStatus SendRequest(const Channel& channel, std::int32_t code,
                          std::int32_t length, const void* payload) {
  const WirePair header = command::EncodePair(code, length);
  CommandStatus sent =
      FromSend(channel.link.Send(header.data(), command::kPairSize));
  if (Succeeded(sent) && length > 0) {
    sent = FromSend(channel.link.Send(payload, length));
  }
  if (!Succeeded(sent)) return sent;
  return WaitAck(channel.link, command::kAckCode);
}

// Stores a query's reply value; the record changes only once the whole
// value has arrived.
CommandStatus ReadReplyValue(const Channel& channel, CameraRecord& record,
                             std::int32_t code)
    TSA_REQUIRES(record.commandLock) {
  std::uint8_t value[4] = {};
  const CommandStatus got =
      channel.Receive(value, command::ReplyValueSize(code));
  if (!Succeeded(got)) return got;
  const std::uint16_t v16 = platform::LoadLE16(value);
  const std::int32_t v32 = platform::LoadLE32Signed(value);
  switch (code) {
    case 34:
      record.reply34 = static_cast<std::int16_t>(v16);
      break;
    case 36:
      record.reply36lo = static_cast<std::int16_t>(v16 & 0xFF);
      record.reply36hi = static_cast<std::int16_t>(v16 >> 8);
      break;
    case 66:
      record.internalSps =
          static_cast<std::int16_t>(static_cast<std::uint16_t>(v16 * 5u));
      break;
    case 68:
      record.reply68 = static_cast<std::int16_t>(v16);
      break;
    case 81:
      record.reply81 = v32 == 82 ? 1 : 0;
      break;
    case 97:
      record.reply97 = v32 == 99 ? 1 : 0;
      break;
    case 113:
      record.reply113 = v32 == 114 ? 1 : 0;
      break;
    case 65538:
      record.reply65538 = v32;
      break;
    case 65554:
      record.reply65554 = v32;
      break;
    case 65569:
      record.reply65569 = v32 == 65570 ? 1 : 0;
      break;
    case 65586:
      record.reply65586 = v32;
      break;
    default:
      break;
  }
  return CommandStatus::kOk;
}

CommandStatus ReadBulkBody(const Channel& channel, std::int32_t code,
                           const BulkDestination& bulk) {
  WirePair sub{};
  CommandStatus got = channel.Pair(sub);
  if (!Succeeded(got)) return got;
  if (command::PairFirst(sub) != code) return CommandStatus::kWrongReply;
  const std::int32_t byteCount = command::PairSecond(sub);
  if (byteCount > 0 && (bulk.buffer == nullptr || byteCount > bulk.capacity)) {
    // Never write past the destination; reading the body keeps the
    // connection in step for the next transaction.
    got = FromReceive(channel.link.Discard(byteCount));
    return Succeeded(got) ? CommandStatus::kOverflow : got;
  }
  got = channel.Receive(bulk.buffer, byteCount);
  if (!Succeeded(got)) return got;
  if (bulk.outLength != nullptr) *bulk.outLength = byteCount;
  return CommandStatus::kOk;
}

CommandStatus ReadReply(const Channel& channel, CameraRecord& record,
                        std::int32_t code, const BulkDestination& bulk)
    TSA_REQUIRES(record.commandLock) {
  platform::SleepMs(kReplyPauseMs);
  WirePair header{};
  const CommandStatus got = channel.Pair(header);
  if (!Succeeded(got)) return got;
  const std::int32_t replyCode = command::PairFirst(header);
  if (command::ReplyValueSize(replyCode) > 0) {
    if (replyCode != code) return CommandStatus::kWrongReply;
    return ReadReplyValue(channel, record, code);
  }
  if (replyCode == command::kBulkReplyCode &&
      (code == command::kFlashReadCode || code == command::kFlashWriteCode)) {
    return ReadBulkBody(channel, code, bulk);
  }
  // Any other reply code ends the transaction with nothing stored; this is
  // how 522, whose reply is a header alone, completes.
  return CommandStatus::kOk;
}

CommandStatus RunCompletion(const Channel& channel, CameraRecord& record) {
  record.commandDoneExists.store(true);
  // Whatever the caller passed, 256 carries no payload.
  CommandStatus got =
      SendRequest(channel, command::kCompletionCode, 0, nullptr);
  if (!Succeeded(got)) return got;
  platform::SleepMs(kReplyPauseMs);
  WirePair header{};
  got = channel.Pair(header);
  if (!Succeeded(got)) return got;
  if (command::PairFirst(header) != command::kCompletionCode) {
    return CommandStatus::kWrongReply;
  }
  return record.commandDoneEvent.Wait(kCompletionWaitMs)
             ? CommandStatus::kOk
             : CommandStatus::kTimedOut;
}

// Bytes waiting before a command is sent were never asked for: a stray
// reply, or the rest of an answer a failed transaction left behind. They
// are read away first, so they are never taken for this command's answer.
CommandStatus DrainIfNeeded(const Channel& channel, CameraRecord& record)
    TSA_REQUIRES(record.commandLock) {
  if (!record.commandNeedsDrain && !channel.link.HasUnread()) {
    return CommandStatus::kOk;
  }
  const CommandStatus drained =
      FromReceive(channel.link.DrainUntilQuiet(kDrainQuietMs));
  if (Succeeded(drained)) record.commandNeedsDrain = false;
  return drained;
}

// What a failure says about the channel.
void Diagnose(CameraRecord& record, CommandStatus status)
    TSA_REQUIRES(record.commandLock) {
  switch (status) {
    case CommandStatus::kNoAnswer:
      record.commandChannelDown = true;
      MarkLost(record, RVX_LOST_COMMAND_TIMEOUT);
      break;
    case CommandStatus::kSendFailed:
    case CommandStatus::kReceiveFailed:
      record.commandChannelDown = true;
      MarkLost(record, RVX_LOST_COMMAND_CONNECTION);
      break;
    case CommandStatus::kBadAck:
    case CommandStatus::kWrongReply:
    case CommandStatus::kOverflow:
      record.commandNeedsDrain = true;
      break;
    default:
      break;
  }
}

}  // namespace

CommandStatus Transact(CameraRecord& record, std::int32_t code,
                       std::int32_t length, const void* payload,
                       const BulkDestination& bulk,
                       const TransferLimits& limits) {
  // The transaction borrows the record's connection and never closes it.
  SocketLink link(record.commandSocket, limits);
  return Transact(record, link, code, length, payload, bulk);
}

CommandStatus Transact(CameraRecord& record, CommandLink& link,
                       std::int32_t code, std::int32_t length,
                       const void* payload, const BulkDestination& bulk) {
  ResetCommandEvents(&record, true);
  const CommandClass kind = command::ClassifyCommand(code);
  if (kind == CommandClass::kRefused) return CommandStatus::kRefusedCode;
  if (length > 0 && payload == nullptr) return CommandStatus::kSendFailed;
  if (record.commandChannelDown) return CommandStatus::kChannelDown;

  const Channel channel{link};
  const CommandStatus drained = DrainIfNeeded(channel, record);
  if (!Succeeded(drained)) {
    Diagnose(record, drained);
    return CommandStatus::kChannelDown;
  }
  CommandStatus status;
  if (kind == CommandClass::kCompletion) {
    status = RunCompletion(channel, record);
  } else {
    status = SendRequest(channel, code, length, payload);
    if (Succeeded(status) && kind != CommandClass::kPlain) {
      status = ReadReply(channel, record, code, bulk);
    }
  }
  Diagnose(record, status);
  return status;
}

CommandStatus SendCommand(CameraRecord* record, std::int32_t code,
                          std::int32_t length, const void* payload,
                          std::int32_t* outLength, void* buffer,
                          std::int32_t bufferCapacity) {
  if (record == nullptr) return CommandStatus::kNoRecord;
  if (!record->commandLock.TryLockFor(kCommandLockWaitMs)) {
    return CommandStatus::kBusy;
  }
  platform::TimedLock lock(record->commandLock, platform::kAdoptLock);
  return Transact(*record, code, length, payload,
                  {outLength, buffer, bufferCapacity});
}

void ResetCommandEvents(CameraRecord* record, bool keep) {
  if (record == nullptr) return;
  if (!keep) record->commandDoneExists.store(false);
  record->commandDoneEvent.Clear();
}

}  // namespace quorvel
