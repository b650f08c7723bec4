#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/thread.h"

namespace quorvel::platform {

void RaiseCurrentThreadPriority(ThreadPriority priority) {
  // Linux applies a nice value to the calling thread alone when given its
  // thread id. Unprivileged processes are refused; that is fine.
  const int nice = priority == ThreadPriority::kHighest ? -2 : -1;
  const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
  (void)::setpriority(PRIO_PROCESS, thread, nice);
}

}  // namespace quorvel::platform
