// Command channel wire layout (camera port 3002). Every record is a pair of
// little-endian int32 values: {code, length} for a command header,
// {1296, status} for an acknowledgement, {code, length} for a reply header
// and {code, byteCount} for a bulk sub-header.
#pragma once

#include <array>
#include <cstdint>

#include "platform/byte_order.h"

namespace quorvel::command {

inline constexpr std::uint16_t kCommandPort = 3002;
inline constexpr std::int32_t kAckCode = 1296;        // 0x510
inline constexpr std::int32_t kGreetingCode = 1282;   // 0x502
inline constexpr std::int32_t kBulkReplyCode = 1281;  // 0x501
inline constexpr std::int32_t kCompletionCode = 256;
inline constexpr std::int32_t kFlashReadCode = 520;
inline constexpr std::int32_t kFlashWriteCode = 521;

inline constexpr std::size_t kPairSize = 8;
using WirePair = std::array<std::uint8_t, kPairSize>;
static_assert(sizeof(WirePair) == 8, "wire pairs are two packed int32");

inline WirePair EncodePair(std::int32_t first, std::int32_t second) {
  WirePair bytes{};
  platform::StoreLE32(bytes.data(), static_cast<std::uint32_t>(first));
  platform::StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(second));
  return bytes;
}

inline std::int32_t PairFirst(const WirePair& bytes) {
  return platform::LoadLE32Signed(bytes.data());
}

inline std::int32_t PairSecond(const WirePair& bytes) {
  return platform::LoadLE32Signed(bytes.data() + 4);
}

}  // namespace quorvel::command
