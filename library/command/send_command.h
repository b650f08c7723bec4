// One transaction on a camera's command channel.
#pragma once

#include <cstdint>

#include "command/command_link.h"
#include "platform/transfer.h"
#include "registry/camera_record.h"

namespace quorvel {

enum class CommandStatus {
  kOk,
  kNoRecord,       // null record
  kRefusedCode,    // not a known command code; nothing was sent
  kSendFailed,     // header or payload could not be sent: connection lost
  kReceiveFailed,  // the connection closed or failed while reading
  kNoAnswer,       // the camera sent nothing for the idle time-out
  kBadAck,         // acknowledgement with another code or a non-zero status
  kWrongReply,     // reply header or bulk sub-header for another command
  kOverflow,       // bulk body longer than its destination (read and dropped)
  kTimedOut,       // command 256 completed on no data channel within 5 s
  kBusy,           // another transaction held the channel for too long
  kChannelDown,    // the channel timed out or broke, before this transaction
                   // or while clearing it for this one; nothing was sent
};

inline bool Succeeded(CommandStatus status) {
  return status == CommandStatus::kOk;
}

// A camera that stops answering gives up the caller after this long
// without a byte, in the greeting and in every read and write of a
// transaction.
inline constexpr std::uint32_t kCommandIdleTimeoutMs = 10000;
// How long a transaction waits for one running on another thread.
inline constexpr std::uint32_t kCommandLockWaitMs = 10000;

inline platform::TransferLimits CommandLimits() {
  return platform::TransferLimits::Idle(kCommandIdleTimeoutMs);
}

// Where a bulk reply (520, 521) goes: capacity bytes at buffer, and its
// byte count through outLength when that is not null.
struct BulkDestination {
  std::int32_t* outLength = nullptr;
  void* buffer = nullptr;
  std::int32_t capacity = 0;
};

// Runs one transaction of code with length payload bytes (none for
// length <= 0) and waits for what the code's class requires. A query leaves
// its reply in the record's reply store, read by the caller under the same
// hold of commandLock. The connection stays open whatever happens: a
// transaction that failed in a way that may leave bytes unread makes the
// next one drain the connection until it has been quiet for 50 ms, and a
// camera that stops answering or closes the connection is marked lost,
// after which every transaction fails at once.
[[nodiscard]] CommandStatus Transact(
    CameraRecord& record, std::int32_t code, std::int32_t length,
    const void* payload, const BulkDestination& bulk = {},
    const platform::TransferLimits& limits = CommandLimits())
    TSA_REQUIRES(record.commandLock);

// The same over any link (the fuzz targets' in-memory camera).
[[nodiscard]] CommandStatus Transact(CameraRecord& record, CommandLink& link,
                                     std::int32_t code, std::int32_t length,
                                     const void* payload,
                                     const BulkDestination& bulk = {})
    TSA_REQUIRES(record.commandLock);

// Transact for a single command: takes the record's commandLock (waiting
// at most kCommandLockWaitMs for another transaction) around it.
[[nodiscard]] CommandStatus SendCommand(CameraRecord* record, std::int32_t code,
                                        std::int32_t length,
                                        const void* payload,
                                        std::int32_t* outLength = nullptr,
                                        void* buffer = nullptr,
                                        std::int32_t bufferCapacity = 0);

// With keep set, clears a pending completion of command 256; without it,
// the completion event stops existing (disconnect).
void ResetCommandEvents(CameraRecord* record, bool keep);

}  // namespace quorvel
