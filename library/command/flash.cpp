#include "command/flash.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "command/send_command.h"
#include "platform/byte_order.h"

namespace quorvel {

namespace {

constexpr std::int32_t kSelectArea = 516;
constexpr std::int32_t kSetOffset = 518;
constexpr std::int32_t kSetByteCount = 519;
constexpr std::int32_t kRead = 520;
constexpr std::int32_t kWrite = 521;
constexpr std::int32_t kPrepareWrite = 522;

constexpr std::uint16_t kRecordArea = 7;
// The device record's region is addressed as a whole 64 KiB sector.
constexpr std::int32_t kRecordRegionSize = 0x10000;
constexpr std::int32_t kRecordSize = RVX_FLASH_RECORD_SIZE;
constexpr std::int32_t kAreaSize = RVX_FLASH_AREA_SIZE;
constexpr std::uint16_t kFirstWriteArea = 2;
constexpr std::int32_t kMaxWriteBlocks = 5;
constexpr std::int32_t kStatusSize = 4;

// The words of the device record that belong to the camera itself and are
// never taken from the caller on a rewrite.
constexpr std::int32_t kKeptHeadEnd = 8;
constexpr std::int32_t kKeptMiddleBegin = 164;
constexpr std::int32_t kKeptMiddleEnd = 180;

static_assert(kRecordSize <= kRecordRegionSize);
static_assert(kKeptMiddleEnd <= kRecordSize);
static_assert(static_cast<std::int64_t>(kAreaSize) * kMaxWriteBlocks ==
              RVX_FLASH_MAX_WRITE);

bool SelectArea(CameraRecord& record, std::uint16_t area)
    TSA_REQUIRES(record.commandLock) {
  std::uint8_t payload[2];
  platform::StoreLE16(payload, area);
  return Succeeded(Transact(record, kSelectArea, 2, payload));
}

bool SendU32(CameraRecord& record, std::int32_t code, std::uint32_t value)
    TSA_REQUIRES(record.commandLock) {
  std::uint8_t payload[4];
  platform::StoreLE32(payload, value);
  return Succeeded(Transact(record, code, 4, payload));
}

// Area, offset 0 and the region's byte count: the start of every read and
// every write.
bool AddressRegion(CameraRecord& record, std::uint16_t area,
                   std::int32_t regionSize) TSA_REQUIRES(record.commandLock) {
  return SelectArea(record, area) && SendU32(record, kSetOffset, 0) &&
         SendU32(record, kSetByteCount, static_cast<std::uint32_t>(regionSize));
}

// Sends one block after the region has been addressed and prepared. The
// camera answers with a status whose first 16-bit word is 0 on success; a
// status too short to hold that word tells nothing, so it counts as a
// failure rather than as success.
bool WriteBlock(CameraRecord& record, const std::uint8_t* bytes,
                std::int32_t size) TSA_REQUIRES(record.commandLock) {
  if (!SendU32(record, kSetByteCount, static_cast<std::uint32_t>(size))) {
    return false;
  }
  std::array<std::uint8_t, kStatusSize> status{};
  std::int32_t statusCount = 0;
  if (!Succeeded(Transact(record, kWrite, size, bytes,
                          {&statusCount, status.data(), kStatusSize}))) {
    return false;
  }
  return statusCount >= 2 && platform::LoadLE16(status.data()) == 0;
}

// Reads the device record into out (kRecordSize bytes) and reports how many
// bytes of it came from the camera.
bool ReadRecord(CameraRecord& record, std::uint8_t* out,
                std::int32_t* copiedOut) TSA_REQUIRES(record.commandLock) {
  if (!AddressRegion(record, kRecordArea, kRecordRegionSize)) return false;
  std::vector<std::uint8_t> work(kRecordRegionSize);
  std::int32_t byteCount = 0;
  if (!Succeeded(Transact(record, kRead, 0, nullptr,
                          {&byteCount, work.data(), kRecordRegionSize}))) {
    return false;
  }
  // A camera may hold a shorter record; only what it actually sent is
  // copied and the rest of out stays as it was. A count of zero or less
  // copies nothing, so bytes the camera never sent are never handed out.
  const std::int32_t copied = std::clamp(byteCount, 0, kRecordSize);
  std::memcpy(out, work.data(), static_cast<std::size_t>(copied));
  if (copiedOut != nullptr) *copiedOut = copied;
  return true;
}

bool WriteRecord(CameraRecord& record, const std::uint8_t* callerRecord)
    TSA_REQUIRES(record.commandLock) {
  // The camera's identity words come from what it holds now, read in the
  // same hold of the channel as the write, so nothing changes between.
  std::array<std::uint8_t, kRecordSize> current{};
  std::int32_t currentSize = 0;
  if (!ReadRecord(record, current.data(), &currentSize)) return false;
  // A record too short to hold every kept word leaves some of them unknown;
  // writing guesses there would damage the camera's identity, so the
  // rewrite is refused instead.
  if (currentSize < kKeptMiddleEnd) return false;

  std::array<std::uint8_t, kRecordSize> next{};
  std::memcpy(next.data(), callerRecord, kRecordSize);
  std::memcpy(next.data(), current.data(), kKeptHeadEnd);
  std::memcpy(next.data() + kKeptMiddleBegin, current.data() + kKeptMiddleBegin,
              kKeptMiddleEnd - kKeptMiddleBegin);

  if (!AddressRegion(record, kRecordArea, kRecordRegionSize) ||
      !Succeeded(Transact(record, kPrepareWrite, 0, nullptr))) {
    return false;
  }
  return WriteBlock(record, next.data(), kRecordSize);
}

bool ReadArea(CameraRecord& record, std::uint8_t* buffer, std::int32_t length)
    TSA_REQUIRES(record.commandLock) {
  const auto area = static_cast<std::int16_t>(length & 0xFFFF);
  if (area < 1 || area > 6) return false;
  if (!AddressRegion(record, static_cast<std::uint16_t>(area), kAreaSize)) {
    return false;
  }
  std::int32_t byteCount = 0;
  if (!Succeeded(Transact(record, kRead, 0, nullptr,
                          {&byteCount, buffer, kAreaSize}))) {
    return false;
  }
  return byteCount == kAreaSize;
}

bool WriteAreas(CameraRecord& record, const std::uint8_t* buffer,
                std::int32_t length) TSA_REQUIRES(record.commandLock) {
  if (length <= 0) return false;
  const std::int32_t remainder = length % kAreaSize;
  const std::int32_t blocks = length / kAreaSize + (remainder > 0 ? 1 : 0);
  if (blocks < 1 || blocks > kMaxWriteBlocks) return false;
  for (std::int32_t i = 0; i < blocks; ++i) {
    const auto area = static_cast<std::uint16_t>(kFirstWriteArea + i);
    if (!AddressRegion(record, area, kAreaSize) ||
        !Succeeded(Transact(record, kPrepareWrite, 0, nullptr))) {
      return false;
    }
    const bool last = i == blocks - 1;
    const std::int32_t size = last && remainder > 0 ? remainder : kAreaSize;
    // Each block goes out straight from the caller's buffer.
    if (!WriteBlock(record, buffer + static_cast<std::size_t>(i) * kAreaSize,
                    size)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool FlashOperation(CameraRecord& record, std::int32_t operation,
                    std::uint8_t* buffer, std::int32_t length) {
  if (buffer == nullptr || record.connected.load() == 0) return false;
  switch (operation) {
    case RVX_FLASH_NOTHING:
    case RVX_FLASH_NOTHING_TOO:
      return true;
    case RVX_FLASH_READ_RECORD:
    case RVX_FLASH_WRITE_RECORD:
    case RVX_FLASH_READ_AREA:
    case RVX_FLASH_WRITE_AREAS:
      break;
    default:
      return false;
  }
  // One operation is several transactions that address the flash step by
  // step; no other transaction may come between them.
  if (!record.commandLock.TryLockFor(kCommandLockWaitMs)) return false;
  platform::TimedLock lock(record.commandLock, platform::kAdoptLock);
  switch (operation) {
    case RVX_FLASH_READ_RECORD:
      return ReadRecord(record, buffer, nullptr);
    case RVX_FLASH_WRITE_RECORD:
      return WriteRecord(record, buffer);
    case RVX_FLASH_READ_AREA:
      return ReadArea(record, buffer, length);
    default:
      return WriteAreas(record, buffer, length);
  }
}

}  // namespace quorvel
