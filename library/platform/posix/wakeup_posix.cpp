#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/wakeup.h"

namespace quorvel::platform {

Wakeup::Wakeup() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    fds_[0] = fds_[1] = Socket::kInvalid;
  }
}

Wakeup::~Wakeup() {
  for (NativeSocket fd : fds_) {
    if (fd != Socket::kInvalid) ::close(fd);
  }
}

bool Wakeup::valid() const { return fds_[0] != Socket::kInvalid; }

void Wakeup::Signal() {
  // One byte in the pipe keeps the flag raised until Clear drains it; a
  // full pipe (EAGAIN) is already raised.
  const char byte = 1;
  while (::write(fds_[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

void Wakeup::Clear() {
  char bytes[64];
  for (;;) {
    const ssize_t got = ::read(fds_[0], bytes, sizeof bytes);
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    return;  // empty (EAGAIN) or broken
  }
}

Wakeup::Readiness Wakeup::WaitReadable(const Socket& socket) const {
  pollfd watched[2] = {{fds_[0], POLLIN, 0}, {socket.native(), POLLIN, 0}};
  const nfds_t count = socket.valid() ? 2 : 1;
  for (;;) {
    const int ready = ::poll(watched, count, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Readiness::kFailed;
    }
    if (watched[0].revents != 0) return Readiness::kWoken;
    if (count == 2 && watched[1].revents != 0) {
      // Errors and hang-ups are reported by the read that follows.
      return Readiness::kReadable;
    }
  }
}

}  // namespace quorvel::platform
