// The simulated camera's side of both channels: ports, record codes,
// command codes and packet layouts, all little-endian on the wire.
//
// camsim keeps its own copy of these numbers instead of using the
// library's: a camera built from the same table as its client would agree
// with every mistake in it, so an independent copy is a check on the
// library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/byte_order.h"

namespace camsim::wire {

inline constexpr std::uint16_t kDataPort = 3001;
inline constexpr std::uint16_t kCommandPort = 3002;

// Command channel records: pairs of int32 values.
inline constexpr std::size_t kPairSize = 8;
inline constexpr std::int32_t kGreeting = 1282;   // {1282, 0}, unasked
inline constexpr std::int32_t kAck = 1296;        // {1296, status}
inline constexpr std::int32_t kBulkReply = 1281;  // then {code, byteCount}

// Command codes with an effect beyond the settings store (the item codes
// are in items.h).
inline constexpr std::int32_t kStartStream = 1;
inline constexpr std::int32_t kStopStream = 2;
inline constexpr std::int32_t kPictureSize = 48;    // uint16 width, height
inline constexpr std::int32_t kCompletion = 256;    // answered on both channels
inline constexpr std::int32_t kFlashArea = 516;     // uint16 area number
inline constexpr std::int32_t kFlashOffset = 518;   // uint32
inline constexpr std::int32_t kFlashCount = 519;    // uint32
inline constexpr std::int32_t kFlashRead = 520;     // bulk reply: the bytes
inline constexpr std::int32_t kFlashWrite = 521;    // bulk reply: a status
inline constexpr std::int32_t kFlashPrepare = 522;  // reply header only

// The status body of an accepted write: four bytes, the first 16-bit word
// 0; a refused one carries kWriteRefused there.
inline constexpr std::size_t kWriteStatusSize = 4;
inline constexpr std::uint8_t kWriteRefused = 1;

// Data channel packets: {int32 type, int32 length} and a body.
inline constexpr std::size_t kPacketHeaderSize = 8;
inline constexpr std::int32_t kFrameHeaderPacket = 51;
inline constexpr std::int32_t kFrameHeaderSize = 12;  // flags, width, lines
inline constexpr std::int32_t kPicturePacket = 129;
inline constexpr std::int32_t kMaskPacket = 130;
inline constexpr std::int32_t kCompletionPacket = 256;
// A whole frame in one piece: frame start (4) and frame complete (1).
inline constexpr std::int32_t kWholeFrame = 5;

// Bytes of the value after a reply header carrying code: 2 or 4 for a
// query, 0 for every other code. The library has the same table for the
// other end; this one is written apart from it on purpose (see the top of
// this file), so a query whose width the library gets wrong fails a test.
int ReplyValueSize(std::int32_t code);

inline void Append32(std::vector<std::uint8_t>& out, std::int32_t value) {
  std::uint8_t bytes[4];
  quorvel::platform::StoreLE32(bytes, static_cast<std::uint32_t>(value));
  out.insert(out.end(), bytes, bytes + 4);
}

inline void AppendPair(std::vector<std::uint8_t>& out, std::int32_t first,
                       std::int32_t second) {
  Append32(out, first);
  Append32(out, second);
}

}  // namespace camsim::wire
