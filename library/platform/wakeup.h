// Waking a worker that waits for socket input.
#pragma once

#include "platform/socket.h"

namespace quorvel::platform {

// A level-triggered wake-up flag that a poll loop can wait on beside a
// socket. Once signalled it stays signalled until cleared.
class Wakeup {
 public:
  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  bool valid() const;
  void Signal();
  // Lowers the flag; a Signal after it raises it again.
  void Clear();

  enum class Readiness { kReadable, kWoken, kFailed };
  // Blocks until the socket has input (or end of stream), or the wake-up is
  // signalled; the wake-up wins when both hold. An invalid socket waits for
  // the wake-up alone.
  Readiness WaitReadable(const Socket& socket) const;

 private:
  NativeSocket fds_[2] = {Socket::kInvalid, Socket::kInvalid};
};

}  // namespace quorvel::platform
