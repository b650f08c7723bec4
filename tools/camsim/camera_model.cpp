#include "camera_model.h"

#include <algorithm>
#include <cstring>

namespace camsim {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void PutPair(std::vector<std::uint8_t>& out, std::int32_t a, std::int32_t b) {
  Put32(out, a);
  Put32(out, b);
}

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

int ValueSize(std::int32_t code) {
  switch (code) {
    case 34:
    case 36:
    case 66:
    case 68:
      return 2;
    case 81:
    case 97:
    case 113:
    case 65538:
    case 65554:
    case 65569:
    case 65586:
      return 4;
    default:
      return 0;
  }
}

constexpr std::int32_t kAck = 1296;
constexpr std::int32_t kGreeting = 1282;
constexpr std::int32_t kBulk = 1281;

}  // namespace

CameraModel::CameraModel() : areas_(kDeviceRecordArea + 1) {
  values_ = {{34, 0},    {36, 0},        {66, 40},   {68, 0},
             {81, 83},   {97, 98},       {113, 114}, {65538, 0},
             {65554, 0}, {65569, 65571}, {65586, 0}};
  // Recognisable contents, so a read of the wrong area or offset shows.
  for (int number = 1; number <= kAreaCount; ++number) {
    auto& bytes = areas_[static_cast<std::size_t>(number)];
    bytes.resize(kAreaSize);
    for (std::size_t i = 0; i < kAreaSize; ++i) {
      bytes[i] = static_cast<std::uint8_t>(number * 31 + i * 7);
    }
  }
  auto& record = areas_[kDeviceRecordArea];
  record.resize(kDeviceRecordSize);
  for (std::size_t i = 0; i < kDeviceRecordSize; ++i) {
    record[i] = static_cast<std::uint8_t>(0xA0 + i);
  }
}

std::vector<std::uint8_t> CameraModel::NextGreeting() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::uint8_t> bytes;
  if (silentGreeting_) return bytes;
  if (wrongGreetings_ > 0) {
    --wrongGreetings_;
    PutPair(bytes, kAck, 0);
  } else {
    PutPair(bytes, kGreeting, 0);
  }
  return bytes;
}

void CameraModel::SetWrongGreetings(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  wrongGreetings_ = count;
}

void CameraModel::SetSilentGreeting(bool silent) {
  std::lock_guard<std::mutex> lock(mutex_);
  silentGreeting_ = silent;
}

void CameraModel::SetGreetingDelay(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  greetingDelayMs_ = ms;
}

std::uint32_t CameraModel::greetingDelay() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return greetingDelayMs_;
}

void CameraModel::SetFault(std::int32_t code, Fault fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[code] = fault;
}

void CameraModel::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

void CameraModel::SetInternalSps(std::uint16_t value) {
  SetQueryValue(66, value);
}

void CameraModel::SetQueryValue(std::int32_t queryCode, std::int32_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  values_[queryCode] = value;
}

std::vector<ReceivedCommand> CameraModel::commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

std::vector<std::int32_t> CameraModel::codes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::int32_t> codes;
  for (const auto& command : log_) codes.push_back(command.code);
  return codes;
}

void CameraModel::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

bool CameraModel::streaming() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streaming_;
}

bool CameraModel::maskMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = values_.find(65569);
  return found != values_.end() && found->second == 65570;
}

std::int32_t CameraModel::width() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return width_;
}

std::int32_t CameraModel::height() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return height_;
}

std::vector<std::uint8_t> CameraModel::area(int number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number < 1 || number > kDeviceRecordArea) return {};
  return areas_[static_cast<std::size_t>(number)];
}

void CameraModel::SetArea(int number, std::vector<std::uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number < 1 || number > kDeviceRecordArea) return;
  areas_[static_cast<std::size_t>(number)] = std::move(bytes);
}

FlashImage CameraModel::ExportFlash() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {areas_.begin() + 1, areas_.end()};
}

bool CameraModel::ImportFlash(FlashImage image) {
  if (image.size() != static_cast<std::size_t>(kDeviceRecordArea)) {
    return false;
  }
  for (std::size_t i = 0; i < image.size(); ++i) {
    // The record area is addressed as a 64 KiB region; nothing larger can
    // have come from a camera.
    const std::size_t limit = i + 1 == kDeviceRecordArea ? 0x10000 : kAreaSize;
    if (image[i].size() > limit) return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < image.size(); ++i) {
    areas_[i + 1] = std::move(image[i]);
  }
  return true;
}

std::uint64_t CameraModel::flashWrites() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return flashWrites_;
}

void CameraModel::SetFlashWriteHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  flashWriteHook_ = std::move(hook);
}

Fault CameraModel::TakeFault(std::int32_t code) {
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

Answer CameraModel::Handle(std::int32_t code,
                           const std::vector<std::uint8_t>& payload) {
  std::function<void()> hook;
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back({code, payload});
    const Fault fault = TakeFault(code);
    const std::uint64_t writesBefore = flashWrites_;
    answer = Respond(code, payload, fault);
    if (fault.kind == Fault::Kind::kDelay) {
      answer.delayMs = static_cast<std::uint32_t>(fault.value);
    }
    if (fault.kind == Fault::Kind::kStrayBytes) {
      answer.bytes.insert(answer.bytes.end(),
                          static_cast<std::size_t>(std::max(fault.value, 0)),
                          0x5A);
    }
    if (flashWrites_ != writesBefore) hook = flashWriteHook_;
  }
  // Outside the lock: the hook reads the model back.
  if (hook) hook();
  return answer;
}

void CameraModel::ApplySetting(std::int32_t code,
                               const std::vector<std::uint8_t>& payload) {
  switch (code) {
    case 1:
      streaming_ = true;
      break;
    case 2:
      streaming_ = false;
      break;
    case 48:
      width_ = Get16(payload, 0);
      height_ = Get16(payload, 2);
      break;
    case 82:
    case 83:
      values_[81] = code;
      break;
    case 98:
    case 99:
      values_[97] = code;
      break;
    case 114:
    case 115:
    case 117:
      values_[113] = code;
      break;
    case 65570:
    case 65571:
      values_[65569] = code;
      break;
    case 65537:
      values_[65538] = Get32(payload);
      break;
    case 65553:
      values_[65554] = Get32(payload);
      break;
    case 65585:
      values_[65586] = Get32(payload);
      break;
    case 516:
      flashArea_ = Get16(payload, 0);
      break;
    case 518:
      flashOffset_ = static_cast<std::uint32_t>(Get32(payload));
      break;
    case 519:
      flashCount_ = static_cast<std::uint32_t>(Get32(payload));
      break;
    default:
      break;  // 3, 33, 35, 65, 129, 130, 2561, 2562: accepted, no state
  }
}

std::int32_t CameraModel::QueryValue(std::int32_t code) const {
  const auto found = values_.find(code);
  return found == values_.end() ? 0 : found->second;
}

std::vector<std::uint8_t> CameraModel::ReadFlash() {
  if (flashArea_ < 1 || flashArea_ > kDeviceRecordArea) return {};
  const auto& bytes = areas_[static_cast<std::size_t>(flashArea_)];
  const std::size_t begin = std::min<std::size_t>(flashOffset_, bytes.size());
  const std::size_t end =
      std::min<std::size_t>(begin + flashCount_, bytes.size());
  return {bytes.begin() + static_cast<std::ptrdiff_t>(begin),
          bytes.begin() + static_cast<std::ptrdiff_t>(end)};
}

bool CameraModel::WriteFlash(const std::vector<std::uint8_t>& payload) {
  if (flashArea_ < 1 || flashArea_ > kDeviceRecordArea) return false;
  auto& bytes = areas_[static_cast<std::size_t>(flashArea_)];
  const std::size_t limit =
      flashArea_ == kDeviceRecordArea ? kDeviceRecordSize : kAreaSize;
  if (flashOffset_ > limit || payload.size() > limit - flashOffset_)
    return false;
  if (bytes.size() < flashOffset_ + payload.size()) {
    bytes.resize(flashOffset_ + payload.size());
  }
  std::copy(payload.begin(), payload.end(), bytes.begin() + flashOffset_);
  ++flashWrites_;
  return true;
}

std::vector<std::uint8_t> CameraModel::WriteStatus(
    const std::vector<std::uint8_t>& payload, const Fault& fault) {
  if (fault.kind == Fault::Kind::kWriteStatus) {
    std::vector<std::uint8_t> status;
    Put32(status, fault.value);
    return status;
  }
  const bool written = WriteFlash(payload);
  std::vector<std::uint8_t> status(4, 0);
  if (fault.kind == Fault::Kind::kStatusSize) {
    status.resize(static_cast<std::size_t>(std::max(fault.value, 0)));
  }
  if (!written && !status.empty()) status[0] = 1;
  return status;
}

Answer CameraModel::Respond(std::int32_t code,
                            const std::vector<std::uint8_t>& payload,
                            const Fault& fault) {
  using Kind = Fault::Kind;
  Answer answer;
  auto& out = answer.bytes;
  if (fault.kind == Kind::kNoAnswer) return answer;
  if (fault.kind == Kind::kAckCode) {
    PutPair(out, fault.value, 0);
    return answer;
  }
  if (fault.kind == Kind::kAckStatus) {
    PutPair(out, kAck, fault.value);
    return answer;
  }
  ApplySetting(code, payload);
  PutPair(out, kAck, 0);
  if (fault.kind == Kind::kStall) {
    answer.stallAfter = true;
    return answer;
  }

  const bool isQuery = ValueSize(code) > 0;
  const bool isBulk = code == 520 || code == 521;
  if (!isQuery && !isBulk && code != 522 && code != 256) return answer;

  if (fault.kind == Kind::kCloseMidReply) {
    Put32(out, code);
    answer.closeAfter = true;
    return answer;
  }
  const std::int32_t replyCode =
      fault.kind == Kind::kReplyCode ? fault.value : code;

  if (code == 256) {
    PutPair(out, replyCode, 0);
    answer.completion = fault.kind != Kind::kNoCompletion;
    if (fault.kind == Kind::kLateCompletion) {
      answer.completionDelayMs = static_cast<std::uint32_t>(fault.value);
    }
    return answer;
  }
  if (code == 522) {
    PutPair(out, replyCode, 0);
    return answer;
  }
  if (isQuery) {
    const int size = ValueSize(code);
    PutPair(out, replyCode, size);
    const std::int32_t value =
        fault.kind == Kind::kReplyValue ? fault.value : QueryValue(code);
    for (int i = 0; i < size; ++i) {
      out.push_back(static_cast<std::uint8_t>(
          static_cast<std::uint32_t>(value) >> (8 * i)));
    }
    return answer;
  }

  // Bulk: reply header {1281, 0}, sub-header {code, byteCount}, body.
  std::vector<std::uint8_t> body;
  if (code == 520) {
    body = ReadFlash();
  } else {
    body = WriteStatus(payload, fault);
  }
  std::int32_t count = static_cast<std::int32_t>(body.size());
  if (fault.kind == Kind::kLongBody) {
    body.resize(body.size() + static_cast<std::size_t>(fault.value), 0xEE);
    count = static_cast<std::int32_t>(body.size());
  }
  PutPair(out, kBulk, 0);
  PutPair(out, fault.kind == Kind::kReplyCode ? fault.value : code, count);
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
