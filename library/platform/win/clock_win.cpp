#include <windows.h>

#include "platform/clock.h"

namespace quorvel::platform {

// The 64-bit tick cut to 32 bits wraps exactly like GetTickCount.
std::uint32_t TickCount() { return static_cast<std::uint32_t>(::GetTickCount64()); }

void SleepMs(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace quorvel::platform
