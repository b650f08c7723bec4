#include <windows.h>

#include "platform/thread.h"

namespace quorvel::platform {

void RaiseCurrentThreadPriority(ThreadPriority priority) {
  const int level = priority == ThreadPriority::kHighest
                        ? THREAD_PRIORITY_HIGHEST
                        : THREAD_PRIORITY_ABOVE_NORMAL;
  (void)::SetThreadPriority(::GetCurrentThread(), level);
}

}  // namespace quorvel::platform
