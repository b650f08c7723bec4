#include "platform/transfer.h"

#include <algorithm>
#include <cstdint>

namespace quorvel::platform {

namespace {

IoResult FromReceive(ReceiveResult::Kind kind) {
  switch (kind) {
    case ReceiveResult::Kind::kClosed:
      return IoResult::kClosed;
    case ReceiveResult::Kind::kTimedOut:
      return IoResult::kTimedOut;
    case ReceiveResult::Kind::kError:
      return IoResult::kFailed;
    case ReceiveResult::Kind::kData:
    case ReceiveResult::Kind::kWouldBlock:
      break;
  }
  return IoResult::kOk;
}

// Large enough that a 64 KiB body costs a few calls, small enough for the
// stack of any thread.
constexpr std::int64_t kScratchSize = 16384;

}  // namespace

std::uint32_t TransferLimits::NextWait() const {
  if (!hasDeadline) return idleMs;
  const auto left = static_cast<std::int32_t>(deadline - TickCount());
  if (left <= 0) return 0;
  return std::min(idleMs, static_cast<std::uint32_t>(left));
}

IoResult SendAll(const Socket& socket, const void* bytes, std::int64_t count,
                 const TransferLimits& limits) {
  if (count <= 0) return IoResult::kOk;
  if (limits.hasDeadline && limits.NextWait() == 0) return IoResult::kTimedOut;
  return socket.SendAll(bytes, static_cast<std::size_t>(count),
                        limits.NextWait());
}

IoResult ReceiveAll(const Socket& socket, void* bytes, std::int64_t count,
                    const TransferLimits& limits) {
  auto* cursor = static_cast<std::uint8_t*>(bytes);
  auto left = static_cast<std::size_t>(std::max<std::int64_t>(count, 0));
  while (left > 0) {
    const std::uint32_t wait = limits.NextWait();
    if (wait == 0 && limits.hasDeadline) return IoResult::kTimedOut;
    const ReceiveResult got = socket.ReceiveSome(cursor, left, wait);
    if (got.kind == ReceiveResult::Kind::kData) {
      cursor += got.bytes;
      left -= got.bytes;
      continue;
    }
    const IoResult failure = FromReceive(got.kind);
    if (failure != IoResult::kOk) return failure;
  }
  return IoResult::kOk;
}

IoResult DiscardBytes(const Socket& socket, std::int64_t count,
                      const TransferLimits& limits) {
  std::uint8_t scratch[kScratchSize];
  while (count > 0) {
    const std::int64_t piece = std::min(count, kScratchSize);
    const IoResult got = ReceiveAll(socket, scratch, piece, limits);
    if (got != IoResult::kOk) return got;
    count -= piece;
  }
  return IoResult::kOk;
}

IoResult DrainUntilQuiet(const Socket& socket, std::uint32_t quietMs,
                         const TransferLimits& limits) {
  std::uint8_t scratch[kScratchSize];
  for (;;) {
    const std::uint32_t left = limits.NextWait();
    if (left == 0 && limits.hasDeadline) return IoResult::kTimedOut;
    const std::uint32_t wait = std::min(quietMs, left);
    if (!socket.WaitReadable(wait)) {
      // Quiet for the whole wait: drained, unless the wait was cut short
      // by the limits.
      return wait == quietMs ? IoResult::kOk : IoResult::kTimedOut;
    }
    const ReceiveResult got = socket.ReceiveSome(scratch, sizeof scratch, 0);
    if (got.kind == ReceiveResult::Kind::kTimedOut ||
        got.kind == ReceiveResult::Kind::kWouldBlock) {
      continue;
    }
    const IoResult failure = FromReceive(got.kind);
    if (failure != IoResult::kOk) return failure;
  }
}

}  // namespace quorvel::platform
