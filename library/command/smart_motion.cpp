#include "command/smart_motion.h"

#include <cstdint>
#include <optional>

#include "command/send_command.h"
#include "platform/byte_order.h"
#include "platform/clock.h"

namespace quorvel {

namespace {

// A camera applies a setting some time after acknowledging it; this many
// reads, each after this pause, give it about five seconds to report it.
constexpr int kReadBackAttempts = 25;
constexpr std::uint32_t kReadBackPauseMs = 200;


// How one camera-side setting is sent.
struct SetPlan {
  std::int32_t code = 0;
  std::int32_t payloadValue = 0;
  bool withPayload = false;
  bool readBack = false;
};

bool Send(CameraRecord& record, std::int32_t code)
    TSA_REQUIRES(record.commandLock) {
  return Succeeded(Transact(record, code, 0, nullptr));
}

bool SendValue(CameraRecord& record, std::int32_t code, std::int32_t value)
    TSA_REQUIRES(record.commandLock) {
  std::uint8_t payload[4];
  platform::StoreLE32(payload, static_cast<std::uint32_t>(value));
  return Succeeded(Transact(record, code, 4, payload));
}

SetPlan Boolean(std::int32_t value, std::int32_t onCode, std::int32_t offCode) {
  return {value != 0 ? onCode : offCode, 0, false, true};
}

SetPlan Numeric(std::int32_t code, std::int32_t value) {
  return {code, value, true, true};
}

// The single transaction that sets a camera item, or nothing for an item
// or value the camera does not take. 104 and 105 are sequences and are
// handled apart.
std::optional<SetPlan> PlanSetting(std::int32_t item, std::int32_t value) {
  switch (item) {
    case RVX_ITEM_CAMERA_MOTION:
      return Boolean(value, 82, 83);
    case RVX_ITEM_ALARM_OUTPUT:
      return Boolean(value, 99, 98);
    case RVX_ITEM_MODE:
      // Only the two modes the camera reports back can be confirmed; 1103
      // is a one-shot action with nothing to read back.
      if (value == RVX_MODE_FIRST) return SetPlan{114, 0, false, true};
      if (value == RVX_MODE_SECOND) return SetPlan{115, 0, false, true};
      if (value == RVX_MODE_ONE_SHOT) return SetPlan{117, 0, false, false};
      return std::nullopt;
    case RVX_ITEM_PARAMETER_A:
      return Numeric(65537, value);
    case RVX_ITEM_PARAMETER_B:
      return Numeric(65553, value);
    case RVX_ITEM_MASK_STREAM:
      return Boolean(value, 65570, 65571);
    case RVX_ITEM_PARAMETER_C:
      return Numeric(65585, value);
    case RVX_ITEM_CAMERA_ACTION_1:
      return SetPlan{2561, 0, false, false};
    case RVX_ITEM_CAMERA_ACTION_2:
      return SetPlan{2562, 0, false, false};
    default:
      return std::nullopt;
  }
}

// Items 104 and 105 switch several camera features together; a failure
// part-way leaves the earlier commands applied, and the caller learns it
// from the result.
bool SendSequence(CameraRecord& record, const std::int32_t (&codes)[3])
    TSA_REQUIRES(record.commandLock) {
  for (const std::int32_t code : codes) {
    if (!Send(record, code)) return false;
  }
  return true;
}

// Each attempt is a query of its own, so other transactions may run while
// the setting settles; a camera disconnected meanwhile ends the wait at
// once.
bool ConfirmByReadBack(CameraRecord& record, std::int32_t item,
                       std::int32_t value) {
  for (int attempt = 0; attempt < kReadBackAttempts; ++attempt) {
    platform::SleepMs(kReadBackPauseMs);
    std::int32_t current = 0;
    if (!GetSmartMotion(record, item, &current)) return false;
    if (current == value) return true;
  }
  return false;
}

// The query that reads a camera item and the value it leaves in the
// record's reply store.
std::optional<std::int32_t> QueryCode(std::int32_t item) {
  switch (item) {
    case RVX_ITEM_CAMERA_MOTION:
      return 81;
    case RVX_ITEM_ALARM_OUTPUT:
      return 97;
    case RVX_ITEM_MODE:
      return 113;
    case RVX_ITEM_INTERNAL_SPS:
      return 66;
    case RVX_ITEM_STATUS:
      return 68;
    case RVX_ITEM_PARAMETER_A:
      return 65538;
    case RVX_ITEM_PARAMETER_B:
      return 65554;
    case RVX_ITEM_MASK_STREAM:
      return 65569;
    case RVX_ITEM_PARAMETER_C:
      return 65586;
    default:
      return std::nullopt;
  }
}

// Read under the same hold of the command lock as the query that filled
// them, so the value is that query's and no other transaction's.
std::int32_t DeliveredValue(CameraRecord& record, std::int32_t item)
    TSA_REQUIRES(record.commandLock) {
  switch (item) {
    case RVX_ITEM_CAMERA_MOTION:
      return record.reply81;
    case RVX_ITEM_ALARM_OUTPUT:
      return record.reply97;
    case RVX_ITEM_MODE:
      return record.reply113 > 0 ? RVX_MODE_FIRST : RVX_MODE_SECOND;
    case RVX_ITEM_INTERNAL_SPS:
      // internalSps holds five times the camera's rate.
      return record.internalSps / 5;
    case RVX_ITEM_STATUS:
      return record.reply68;
    case RVX_ITEM_PARAMETER_A:
      return record.reply65538;
    case RVX_ITEM_PARAMETER_B:
      return record.reply65554;
    case RVX_ITEM_MASK_STREAM:
      return record.reply65569;
    default:  // RVX_ITEM_PARAMETER_C
      return record.reply65586;
  }
}

}  // namespace

bool SetSmartMotion(CameraRecord& record, std::int32_t item,
                    std::int32_t value) {
  // The library's own items need no camera and work on any connection.
  switch (item) {
    case RVX_ITEM_MIN_OBJECT_SIZE:
      record.minObjectSize.store(value, std::memory_order_relaxed);
      return true;
    case RVX_ITEM_HIGHLIGHT:
      record.highlightSelect.store(value, std::memory_order_relaxed);
      return true;
    case RVX_ITEM_DETECT_OBJECTS:
      record.detectObjects.store(value, std::memory_order_relaxed);
      return true;
    default:
      break;
  }

  const bool sequence =
      item == RVX_ITEM_MOTION_ALL_ON || item == RVX_ITEM_MOTION_ALL_OFF;
  const std::optional<SetPlan> plan = PlanSetting(item, value);
  if (!sequence && !plan) return false;

  // Camera items belong to video connections; a flash connection has no
  // receiver and must not be sent settings.
  if (!record.hasReceiverThread.load()) return false;

  {
    if (!record.commandLock.TryLockFor(kCommandLockWaitMs)) return false;
    platform::TimedLock lock(record.commandLock, platform::kAdoptLock);
    if (item == RVX_ITEM_MOTION_ALL_ON) {
      return SendSequence(record, {99, 82, 130});
    }
    if (item == RVX_ITEM_MOTION_ALL_OFF) {
      return SendSequence(record, {98, 129, 83});
    }
    const bool sent = plan->withPayload
                          ? SendValue(record, plan->code, plan->payloadValue)
                          : Send(record, plan->code);
    if (!sent) return false;
  }
  if (!plan->readBack) return true;
  return ConfirmByReadBack(record, item, value);
}

bool GetSmartMotion(CameraRecord& record, std::int32_t item,
                    std::int32_t* valueOut) {
  if (valueOut == nullptr) return false;
  switch (item) {
    case RVX_ITEM_MIN_OBJECT_SIZE:
      *valueOut = record.minObjectSize.load(std::memory_order_relaxed);
      return true;
    case RVX_ITEM_HIGHLIGHT:
      *valueOut = record.highlightSelect.load(std::memory_order_relaxed);
      return true;
    default:
      break;
  }

  const std::optional<std::int32_t> query = QueryCode(item);
  if (!query) return false;
  if (!record.hasReceiverThread.load() || record.connected.load() == 0) {
    return false;
  }
  if (!record.commandLock.TryLockFor(kCommandLockWaitMs)) return false;
  platform::TimedLock lock(record.commandLock, platform::kAdoptLock);
  if (!Send(record, *query)) return false;
  *valueOut = DeliveredValue(record, item);
  return true;
}

}  // namespace quorvel
