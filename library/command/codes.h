// The command codes the channel accepts and how each is answered.
#pragma once

#include <cstdint>

namespace quorvel::command {

// The commands the library sends of its own accord; the settings' and the
// flash operations' codes are in their tables.
inline constexpr std::int32_t kStartStream = 1;
inline constexpr std::int32_t kStopStream = 2;
// The first command after the worker threads start (also part of item 105).
inline constexpr std::int32_t kResume = 129;
inline constexpr std::int32_t kQueryInternalSps = 66;
// Width, height and two 1s, 16 bits each: the frame size the camera sends.
inline constexpr std::int32_t kSetFrameSize = 48;
inline constexpr std::int32_t kRoundTrip = 256;

enum class CommandClass {
  kRefused,     // not a command of this camera family: nothing is sent
  kPlain,       // header and payload, then an acknowledgement
  kQuery,       // plain, then a reply header and maybe a reply value
  kBulk,        // a query answered by a bulk reply (520, 521)
  kCompletion,  // 256: reply header, then a signal on the data channel
};

CommandClass ClassifyCommand(std::int32_t code);

// Width in bytes of the value that follows a reply header carrying code:
// 2 or 4 for a query code, 0 for any other code.
int ReplyValueSize(std::int32_t code);

}  // namespace quorvel::command
