// One transaction on a camera's command channel.
#pragma once

#include <cstdint>

#include "registry/camera_record.h"

namespace quorvel {

enum class CommandStatus {
  kOk,
  kNoRecord,       // null record
  kRefusedCode,    // not a known command code; nothing was sent
  kSendFailed,     // header or payload could not be sent
  kReceiveFailed,  // acknowledgement, reply or body did not arrive
  kBadAck,         // acknowledgement with another code or a non-zero status
  kWrongReply,     // reply header or bulk sub-header for another command
  kOverflow,       // bulk body longer than its destination (read and dropped)
  kTimedOut,       // command 256 completed on no data channel within 5 s
};

// Runs one transaction of code with length payload bytes (none for
// length <= 0) and waits for what the code's class requires. A query leaves
// its reply in the record's reply store. A bulk reply (520, 521) is copied
// into buffer, which holds bufferCapacity bytes, and its byte count stored
// through outLength. The connection stays open whatever happens, so the
// next transaction can follow at once.
[[nodiscard]] CommandStatus SendCommand(CameraRecord* record, std::int32_t code,
                                        std::int32_t length,
                                        const void* payload,
                                        std::int32_t* outLength = nullptr,
                                        void* buffer = nullptr,
                                        std::int32_t bufferCapacity = 0);

inline bool Succeeded(CommandStatus status) {
  return status == CommandStatus::kOk;
}

// With keep set, clears a pending completion of command 256; without it,
// the completion event stops existing (disconnect).
void ResetCommandEvents(CameraRecord* record, bool keep);

// The data channel's notice that command 256 completed.
void SignalCommandDone(CameraRecord* record);

}  // namespace quorvel
