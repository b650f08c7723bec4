#include "command/transfer.h"

#include <algorithm>

#include "command/wire.h"

namespace quorvel::command {

using platform::ReceiveResult;

bool SendAll(const platform::Socket& socket, const void* bytes,
             std::int32_t count) {
  if (count <= 0) return true;
  return socket.SendAll(bytes, static_cast<std::size_t>(count));
}

ReceiveOutcome ReceiveAll(const platform::Socket& socket, void* bytes,
                          std::int32_t count) {
  auto* cursor = static_cast<std::uint8_t*>(bytes);
  std::size_t left = count > 0 ? static_cast<std::size_t>(count) : 0;
  while (left > 0) {
    const ReceiveResult got = socket.ReceiveSome(cursor, left);
    switch (got.kind) {
      case ReceiveResult::Kind::kData:
        cursor += got.bytes;
        left -= got.bytes;
        break;
      case ReceiveResult::Kind::kWouldBlock:
        break;
      case ReceiveResult::Kind::kClosed:
        return ReceiveOutcome::kClosed;
      case ReceiveResult::Kind::kError:
        return ReceiveOutcome::kFailed;
    }
  }
  return ReceiveOutcome::kOk;
}

ReceiveOutcome DiscardBytes(const platform::Socket& socket,
                            std::int64_t count) {
  std::uint8_t scratch[4096];
  while (count > 0) {
    const auto piece = static_cast<std::int32_t>(
        std::min<std::int64_t>(count, sizeof scratch));
    const ReceiveOutcome outcome = ReceiveAll(socket, scratch, piece);
    if (outcome != ReceiveOutcome::kOk) return outcome;
    count -= piece;
  }
  return ReceiveOutcome::kOk;
}

bool WaitAck(const platform::Socket& socket, std::int32_t expected) {
  WirePair ack{};
  if (ReceiveAll(socket, ack.data(), kPairSize) != ReceiveOutcome::kOk) {
    return false;
  }
  return PairFirst(ack) == expected && PairSecond(ack) == 0;
}

}  // namespace quorvel::command
