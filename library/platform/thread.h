// Worker-thread priorities.
#pragma once

namespace quorvel::platform {

enum class ThreadPriority { kHighest, kAboveNormal };

// Best effort: a refusal by the system is not an error.
void RaiseCurrentThreadPriority(ThreadPriority priority);

}  // namespace quorvel::platform
