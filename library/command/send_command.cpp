#include "command/send_command.h"

#include "command/codes.h"
#include "command/transfer.h"
#include "command/wire.h"
#include "platform/clock.h"

namespace quorvel {

using command::CommandClass;
using command::ReceiveOutcome;
using command::WirePair;

namespace {

constexpr std::uint32_t kReplyPauseMs = 10;
constexpr std::uint32_t kCompletionWaitMs = 5000;

CommandStatus FromReceive(ReceiveOutcome outcome) {
  return outcome == ReceiveOutcome::kOk ? CommandStatus::kOk
                                        : CommandStatus::kReceiveFailed;
}

CommandStatus SendRequest(const platform::Socket& socket, std::int32_t code,
                          std::int32_t length, const void* payload) {
  const WirePair header = command::EncodePair(code, length);
  if (!command::SendAll(socket, header.data(), command::kPairSize)) {
    return CommandStatus::kSendFailed;
  }
  if (length > 0 && !command::SendAll(socket, payload, length)) {
    return CommandStatus::kSendFailed;
  }
  return command::WaitAck(socket, command::kAckCode) ? CommandStatus::kOk
                                                     : CommandStatus::kBadAck;
}

// Stores a query's reply value; the record changes only once the whole
// value has arrived.
CommandStatus ReadReplyValue(const platform::Socket& socket,
                             CameraRecord& record, std::int32_t code) {
  std::uint8_t value[4] = {};
  const int size = command::ReplyValueSize(code);
  const CommandStatus got =
      FromReceive(command::ReceiveAll(socket, value, size));
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

CommandStatus ReadBulkBody(const platform::Socket& socket, std::int32_t code,
                           std::int32_t* outLength, void* buffer,
                           std::int32_t bufferCapacity) {
  WirePair sub{};
  CommandStatus got =
      FromReceive(command::ReceiveAll(socket, sub.data(), command::kPairSize));
  if (!Succeeded(got)) return got;
  if (command::PairFirst(sub) != code) return CommandStatus::kWrongReply;
  const std::int32_t byteCount = command::PairSecond(sub);
  if (byteCount > 0 && (buffer == nullptr || byteCount > bufferCapacity)) {
    // Never write past the destination; reading the body keeps the
    // connection in step for the next transaction.
    got = FromReceive(command::DiscardBytes(socket, byteCount));
    return Succeeded(got) ? CommandStatus::kOverflow : got;
  }
  got = FromReceive(command::ReceiveAll(socket, buffer, byteCount));
  if (!Succeeded(got)) return got;
  if (outLength != nullptr) *outLength = byteCount;
  return CommandStatus::kOk;
}

CommandStatus ReadReply(const platform::Socket& socket, CameraRecord& record,
                        std::int32_t code, std::int32_t* outLength,
                        void* buffer, std::int32_t bufferCapacity) {
  platform::SleepMs(kReplyPauseMs);
  WirePair header{};
  const CommandStatus got = FromReceive(
      command::ReceiveAll(socket, header.data(), command::kPairSize));
  if (!Succeeded(got)) return got;
  const std::int32_t replyCode = command::PairFirst(header);
  if (command::ReplyValueSize(replyCode) > 0) {
    if (replyCode != code) return CommandStatus::kWrongReply;
    return ReadReplyValue(socket, record, code);
  }
  if (replyCode == command::kBulkReplyCode && (code == 520 || code == 521)) {
    return ReadBulkBody(socket, code, outLength, buffer, bufferCapacity);
  }
  // Any other reply code ends the transaction with nothing stored; this is
  // how 522, whose reply is a header alone, completes.
  return CommandStatus::kOk;
}

CommandStatus RunCompletion(const platform::Socket& socket,
                            CameraRecord& record) {
  record.commandDoneExists.store(true);
  // Whatever the caller passed, 256 carries no payload.
  CommandStatus got = SendRequest(socket, command::kCompletionCode, 0, nullptr);
  if (!Succeeded(got)) return got;
  platform::SleepMs(kReplyPauseMs);
  WirePair header{};
  got = FromReceive(
      command::ReceiveAll(socket, header.data(), command::kPairSize));
  if (!Succeeded(got)) return got;
  if (command::PairFirst(header) != command::kCompletionCode) {
    return CommandStatus::kWrongReply;
  }
  return record.commandDoneEvent.Wait(kCompletionWaitMs)
             ? CommandStatus::kOk
             : CommandStatus::kTimedOut;
}

}  // namespace

CommandStatus SendCommand(CameraRecord* record, std::int32_t code,
                          std::int32_t length, const void* payload,
                          std::int32_t* outLength, void* buffer,
                          std::int32_t bufferCapacity) {
  if (record == nullptr) return CommandStatus::kNoRecord;
  ResetCommandEvents(record, true);
  const CommandClass kind = command::ClassifyCommand(code);
  if (kind == CommandClass::kRefused) return CommandStatus::kRefusedCode;
  if (length > 0 && payload == nullptr) return CommandStatus::kSendFailed;

  // The transaction borrows the record's connection and never closes it.
  const platform::Socket& socket = record->commandSocket;
  if (kind == CommandClass::kCompletion) return RunCompletion(socket, *record);

  const CommandStatus sent = SendRequest(socket, code, length, payload);
  if (!Succeeded(sent) || kind == CommandClass::kPlain) return sent;
  return ReadReply(socket, *record, code, outLength, buffer, bufferCapacity);
}

void ResetCommandEvents(CameraRecord* record, bool keep) {
  if (record == nullptr) return;
  if (!keep) record->commandDoneExists.store(false);
  record->commandDoneEvent.Clear();
}

void SignalCommandDone(CameraRecord* record) {
  if (record != nullptr && record->commandDoneExists.load()) {
    record->commandDoneEvent.Set();
  }
}

}  // namespace quorvel
