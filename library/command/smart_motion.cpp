#include "command/smart_motion.h"

#include <cstdint>
#include <optional>

#include "app/camera_lib_app.h"
#include "command/send_command.h"
#include "platform/byte_order.h"
#include "platform/clock.h"
#include "registry/registry.h"

namespace quorvel {

namespace {

// A camera applies a setting some time after acknowledging it; this many
// reads, each after this pause, give it about five seconds to report it.
constexpr int kReadBackAttempts = 25;
constexpr std::uint32_t kReadBackPauseMs = 200;

constexpr std::int32_t kFromValue = -1;  // numeric item: the value itself

// How one camera-side setting is sent.
struct SetPlan {
  std::int32_t code = 0;
  std::int32_t payloadValue = 0;
  bool withPayload = false;
  bool readBack = false;
};

bool Send(CameraRecord& record, std::int32_t code) {
  return Succeeded(SendCommand(&record, code, 0, nullptr));
}

bool SendValue(CameraRecord& record, std::int32_t code, std::int32_t value) {
  std::uint8_t payload[4];
  platform::StoreLE32(payload, static_cast<std::uint32_t>(value));
  return Succeeded(SendCommand(&record, code, 4, payload));
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
    case 101:
      return Boolean(value, 82, 83);
    case 102:
      return Boolean(value, 99, 98);
    case 103:
      // Only the two modes the camera reports back can be confirmed; 1103
      // is a one-shot action with nothing to read back.
      if (value == 1101) return SetPlan{114, 0, false, true};
      if (value == 1102) return SetPlan{115, 0, false, true};
      if (value == 1103) return SetPlan{117, 0, false, false};
      return std::nullopt;
    case 203:
      return Numeric(65537, value);
    case 204:
      return Numeric(65553, value);
    case 205:
      return Boolean(value, 65570, 65571);
    case 206:
      return Numeric(65585, value);
    case 911:
      return SetPlan{2561, 0, false, false};
    case 912:
      return SetPlan{2562, 0, false, false};
    default:
      return std::nullopt;
  }
}

// Items 104 and 105 switch several camera features together; a failure
// part-way leaves the earlier commands applied, and the caller learns it
// from the result.
bool SendSequence(CameraRecord& record, const std::int32_t (&codes)[3]) {
  for (const std::int32_t code : codes) {
    if (!Send(record, code)) return false;
  }
  return true;
}

// Each attempt looks the camera up again through GetSmartMotion, so a
// camera disconnected while the setting settles ends the wait at once.
bool ConfirmByReadBack(const char* handle, std::int32_t item,
                       std::int32_t value) {
  for (int attempt = 0; attempt < kReadBackAttempts; ++attempt) {
    platform::SleepMs(kReadBackPauseMs);
    std::int32_t current = 0;
    if (!GetSmartMotion(handle, item, &current)) return false;
    if (current == value) return true;
  }
  return false;
}

// The query that reads a camera item and the value it leaves in the
// record's reply store.
std::optional<std::int32_t> QueryCode(std::int32_t item) {
  switch (item) {
    case 101:
      return 81;
    case 102:
      return 97;
    case 103:
      return 113;
    case 201:
      return 66;
    case 202:
      return 68;
    case 203:
      return 65538;
    case 204:
      return 65554;
    case 205:
      return 65569;
    case 206:
      return 65586;
    default:
      return std::nullopt;
  }
}

// Reply-store fields are read on the thread that just ran the query, which
// is the only writer during a settings call.
std::int32_t DeliveredValue(const CameraRecord& record, std::int32_t item) {
  switch (item) {
    case 101:
      return record.reply81;
    case 102:
      return record.reply97;
    case 103:
      return record.reply113 > 0 ? 1101 : 1102;
    case 201:
      // internalSps holds five times the camera's rate.
      return record.internalSps / 5;
    case 202:
      return record.reply68;
    case 203:
      return record.reply65538;
    case 204:
      return record.reply65554;
    case 205:
      return record.reply65569;
    default:  // 206
      return record.reply65586;
  }
}

}  // namespace

bool SetSmartMotion(const char* handle, std::int32_t item, std::int32_t value) {
  if (handle == nullptr) return false;
  const CameraRef camera = TheApp().registry().Find(handle);
  if (!camera) return false;
  CameraRecord& record = *camera;

  // The library's own items need no camera and work on any connection.
  switch (item) {
    case 207:
      record.minObjectSize.store(value, std::memory_order_relaxed);
      return true;
    case 208:
      record.highlightSelect.store(value, std::memory_order_relaxed);
      return true;
    case 209:
      record.detectObjects.store(value, std::memory_order_relaxed);
      return true;
    default:
      break;
  }

  const bool sequence = item == 104 || item == 105;
  const std::optional<SetPlan> plan = PlanSetting(item, value);
  if (!sequence && !plan) return false;

  // Camera items belong to video connections; a flash connection has no
  // receiver and must not be sent settings.
  if (!record.hasReceiverThread.load()) return false;

  if (item == 104) return SendSequence(record, {99, 82, 130});
  if (item == 105) return SendSequence(record, {98, 129, 83});

  const bool sent = plan->withPayload
                        ? SendValue(record, plan->code, plan->payloadValue)
                        : Send(record, plan->code);
  if (!sent) return false;
  if (!plan->readBack) return true;
  return ConfirmByReadBack(handle, item, value);
}

bool GetSmartMotion(const char* handle, std::int32_t item,
                    std::int32_t* valueOut) {
  if (handle == nullptr || valueOut == nullptr) return false;
  const CameraRef camera = TheApp().registry().Find(handle);
  if (!camera) return false;
  CameraRecord& record = *camera;

  switch (item) {
    case 207:
      *valueOut = record.minObjectSize.load(std::memory_order_relaxed);
      return true;
    case 208:
      *valueOut = record.highlightSelect.load(std::memory_order_relaxed);
      return true;
    default:
      break;
  }

  const std::optional<std::int32_t> query = QueryCode(item);
  if (!query) return false;
  if (!record.hasReceiverThread.load()) return false;
  if (!Send(record, *query)) return false;
  *valueOut = DeliveredValue(record, item);
  return true;
}

}  // namespace quorvel
