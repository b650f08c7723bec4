#include "command_protocol.h"

#include <algorithm>

#include "items.h"
#include "wire.h"

namespace camsim {

using quorvel::platform::MutexLock;

namespace {

// Payload readers that take a short payload as zero-filled: the camera
// accepts what a client sends, however little.
std::int32_t Get32(const std::vector<std::uint8_t>& in) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4 && i < in.size(); ++i)
    bits |= std::uint32_t{in[i]} << (8 * i);
  return static_cast<std::int32_t>(bits);
}

std::uint16_t Get16(const std::vector<std::uint8_t>& in, std::size_t at) {
  std::uint16_t bits = 0;
  if (at < in.size()) bits = in[at];
  if (at + 1 < in.size())
    bits = static_cast<std::uint16_t>(bits | (in[at + 1] << 8));
  return bits;
}

// The low size bytes of value, as a reply value carries it.
void AppendValue(std::vector<std::uint8_t>& out, std::int32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >>
                                            (8 * i)));
  }
}

// What each setting does to the settings store: a switch keeps its own
// code as its item's value, a numeric setting its int32 payload.
struct Setting {
  std::int32_t command;
  std::int32_t query;
  bool numeric;
};
constexpr Setting kSettings[] = {
    {item::kCameraMotionOn, item::kCameraMotion, false},
    {item::kCameraMotionOff, item::kCameraMotion, false},
    {item::kAlarmOutputOff, item::kAlarmOutput, false},
    {item::kAlarmOutputOn, item::kAlarmOutput, false},
    {item::kModeFirst, item::kMode, false},
    {item::kModeSecond, item::kMode, false},
    {item::kModeOneShot, item::kMode, false},
    {item::kMaskStreamOn, item::kMaskStream, false},
    {item::kMaskStreamOff, item::kMaskStream, false},
    {item::kSetParameterA, item::kParameterA, true},
    {item::kSetParameterB, item::kParameterB, true},
    {item::kSetParameterC, item::kParameterC, true},
};

// Stray bytes are this value, so they stand out in a capture.
constexpr std::uint8_t kStrayByte = 0x5A;
// Bytes an over-long bulk body is padded with.
constexpr std::uint8_t kPaddingByte = 0xEE;

}  // namespace

std::vector<std::uint8_t> CommandProtocol::NextGreeting() {
  MutexLock lock(mutex_);
  std::vector<std::uint8_t> bytes;
  if (silentGreeting_) return bytes;
  if (wrongGreetings_ > 0) {
    --wrongGreetings_;
    wire::AppendPair(bytes, wire::kAck, 0);
  } else {
    wire::AppendPair(bytes, wire::kGreeting, 0);
  }
  return bytes;
}

void CommandProtocol::SetWrongGreetings(int count) {
  MutexLock lock(mutex_);
  wrongGreetings_ = count;
}

void CommandProtocol::SetSilentGreeting(bool silent) {
  MutexLock lock(mutex_);
  silentGreeting_ = silent;
}

void CommandProtocol::SetGreetingDelay(std::uint32_t ms) {
  MutexLock lock(mutex_);
  greetingDelayMs_ = ms;
}

std::uint32_t CommandProtocol::greetingDelay() const {
  MutexLock lock(mutex_);
  return greetingDelayMs_;
}

void CommandProtocol::SetFault(std::int32_t code, Fault fault) {
  MutexLock lock(mutex_);
  faults_[code] = fault;
}

void CommandProtocol::ClearFaults() {
  MutexLock lock(mutex_);
  faults_.clear();
}

std::vector<ReceivedCommand> CommandProtocol::commands() const {
  MutexLock lock(mutex_);
  return log_;
}

std::vector<std::int32_t> CommandProtocol::codes() const {
  MutexLock lock(mutex_);
  std::vector<std::int32_t> codes;
  for (const auto& command : log_) codes.push_back(command.code);
  return codes;
}

void CommandProtocol::ClearLog() {
  MutexLock lock(mutex_);
  log_.clear();
}

Fault CommandProtocol::TakeFault(std::int32_t code) {
  const auto found = faults_.find(code);
  if (found == faults_.end()) return Fault{};
  if (found->second.skip > 0) {
    --found->second.skip;
    return Fault{};
  }
  Fault fault = found->second;
  if (found->second.times > 0 && --found->second.times == 0)
    faults_.erase(found);
  return fault;
}

CommandProtocol::FlashRegion CommandProtocol::region() const {
  MutexLock lock(mutex_);
  return region_;
}

Answer CommandProtocol::Handle(std::int32_t code,
                               const std::vector<std::uint8_t>& payload) {
  Fault fault;
  {
    MutexLock lock(mutex_);
    log_.push_back({code, payload});
    fault = TakeFault(code);
  }
  Answer answer = Respond(code, payload, fault);
  if (fault.kind == Fault::Kind::kDelay) {
    answer.delayMs = static_cast<std::uint32_t>(fault.value);
  }
  if (fault.kind == Fault::Kind::kStrayBytes) {
    answer.bytes.insert(answer.bytes.end(),
                        static_cast<std::size_t>(std::max(fault.value, 0)),
                        kStrayByte);
  }
  return answer;
}

void CommandProtocol::Apply(std::int32_t code,
                            const std::vector<std::uint8_t>& payload) {
  for (const Setting& setting : kSettings) {
    if (setting.command == code) {
      model_.SetQueryValue(setting.query,
                           setting.numeric ? Get32(payload) : code);
      return;
    }
  }
  switch (code) {
    case wire::kStartStream:
      model_.StartStreaming();
      break;
    case wire::kStopStream:
      model_.StopStreaming();
      break;
    case wire::kPictureSize:
      model_.SetPictureSize(Get16(payload, 0), Get16(payload, 2));
      break;
    case wire::kFlashArea: {
      MutexLock lock(mutex_);
      region_.area = Get16(payload, 0);
      break;
    }
    case wire::kFlashOffset: {
      MutexLock lock(mutex_);
      region_.offset = static_cast<std::uint32_t>(Get32(payload));
      break;
    }
    case wire::kFlashCount: {
      MutexLock lock(mutex_);
      region_.count = static_cast<std::uint32_t>(Get32(payload));
      break;
    }
    default:
      break;  // 3, 33, 35, 65, 129, 130, 2561, 2562: accepted, no state
  }
}

// The flash is read or written only once the reply is under way, so a
// write whose answer stalls or closes early stores nothing.
std::vector<std::uint8_t> CommandProtocol::BulkBody(
    std::int32_t code, const std::vector<std::uint8_t>& payload,
    const Fault& fault) {
  const FlashRegion selected = region();
  if (code == wire::kFlashRead) {
    return model_.ReadArea(selected.area, selected.offset, selected.count);
  }
  std::vector<std::uint8_t> status;
  if (fault.kind == Fault::Kind::kWriteStatus) {
    wire::Append32(status, fault.value);
    return status;
  }
  const bool written =
      model_.WriteArea(selected.area, selected.offset, payload);
  status.resize(wire::kWriteStatusSize, 0);
  if (fault.kind == Fault::Kind::kStatusSize) {
    status.resize(static_cast<std::size_t>(std::max(fault.value, 0)));
  }
  if (!written && !status.empty()) status[0] = wire::kWriteRefused;
  return status;
}

Answer CommandProtocol::Respond(std::int32_t code,
                                const std::vector<std::uint8_t>& payload,
                                const Fault& fault) {
  using Kind = Fault::Kind;
  Answer answer;
  auto& out = answer.bytes;
  if (fault.kind == Kind::kNoAnswer) return answer;
  if (fault.kind == Kind::kAckCode) {
    wire::AppendPair(out, fault.value, 0);
    return answer;
  }
  if (fault.kind == Kind::kAckStatus) {
    wire::AppendPair(out, wire::kAck, fault.value);
    return answer;
  }
  Apply(code, payload);
  wire::AppendPair(out, wire::kAck, 0);
  if (fault.kind == Kind::kStall) {
    answer.stallAfter = true;
    return answer;
  }

  const int valueSize = wire::ReplyValueSize(code);
  const bool isBulk = code == wire::kFlashRead || code == wire::kFlashWrite;
  if (valueSize == 0 && !isBulk && code != wire::kFlashPrepare &&
      code != wire::kCompletion) {
    return answer;
  }

  if (fault.kind == Kind::kCloseMidReply) {
    wire::Append32(out, code);
    answer.closeAfter = true;
    return answer;
  }
  const std::int32_t replyCode =
      fault.kind == Kind::kReplyCode ? fault.value : code;

  if (code == wire::kCompletion) {
    wire::AppendPair(out, replyCode, 0);
    answer.completion = fault.kind != Kind::kNoCompletion;
    if (fault.kind == Kind::kLateCompletion) {
      answer.completionDelayMs = static_cast<std::uint32_t>(fault.value);
    }
    return answer;
  }
  if (code == wire::kFlashPrepare) {
    wire::AppendPair(out, replyCode, 0);
    return answer;
  }
  if (!isBulk) {
    wire::AppendPair(out, replyCode, valueSize);
    AppendValue(
        out,
        fault.kind == Kind::kReplyValue ? fault.value : model_.queryValue(code),
        valueSize);
    return answer;
  }

  // Reply header {1281, 0}, sub-header {code, byteCount}, body.
  std::vector<std::uint8_t> body = BulkBody(code, payload, fault);
  if (fault.kind == Kind::kLongBody) {
    body.resize(body.size() + static_cast<std::size_t>(fault.value),
                kPaddingByte);
  }
  wire::AppendPair(out, wire::kBulkReply, 0);
  wire::AppendPair(out, replyCode, static_cast<std::int32_t>(body.size()));
  if (fault.kind == Kind::kShortBody) {
    const auto cut = std::min<std::size_t>(
        body.size(), static_cast<std::size_t>(fault.value));
    body.resize(body.size() - cut);
    answer.closeAfter = true;
  }
  out.insert(out.end(), body.begin(), body.end());
  return answer;
}

}  // namespace camsim
