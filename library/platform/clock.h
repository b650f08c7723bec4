// Millisecond tick and fixed pauses.
#pragma once

#include <cstdint>

namespace quorvel::platform {

// A wait without a time limit.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// Milliseconds of a steady clock, wrapping at 2^32 like a tick counter.
std::uint32_t TickCount();
void SleepMs(std::uint32_t ms);

}  // namespace quorvel::platform
