#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace quorvel::fuzz {

namespace {

// Large enough for any input the campaigns generate (-max_len stays far
// below) with the kernel's bookkeeping on top. The FORCE options need root;
// without it the ordinary limit applies and the writer thread takes over.
constexpr int kBufferBytes = 16 << 20;

void EnlargeBuffers(int fd) {
  for (const int option : {SO_SNDBUFFORCE, SO_RCVBUFFORCE}) {
    if (::setsockopt(fd, SOL_SOCKET, option, &kBufferBytes,
                     sizeof kBufferBytes) != 0) {
      const int fallback = option == SO_SNDBUFFORCE ? SO_SNDBUF : SO_RCVBUF;
      (void)::setsockopt(fd, SOL_SOCKET, fallback, &kBufferBytes,
                         sizeof kBufferBytes);
    }
  }
}

// Writes what the socket takes without waiting; returns the count written.
std::size_t WriteWithoutWaiting(int fd, const std::uint8_t* bytes,
                                std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t sent =
        ::send(fd, bytes + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(sent);
  }
  return done;
}

}  // namespace

void Fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

std::uint32_t TouchBytes(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  // An opaque use, so the loop cannot be optimised away.
  asm volatile("" : : "r"(sum) : "memory");
  return sum;
}

LocalConnection::LocalConnection() {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    std::perror("socketpair");
    std::abort();
  }
  library_ = platform::Socket(fds[0]);
  camera_ = platform::Socket(fds[1]);
  EnlargeBuffers(fds[0]);
  EnlargeBuffers(fds[1]);
}

LocalConnection::~LocalConnection() {
  if (writer_.joinable()) {
    // Wakes a writer still blocked on bytes the library never read.
    (void)::shutdown(camera_.native(), SHUT_RDWR);
    writer_.join();
  }
}

platform::Socket LocalConnection::TakeLibraryEnd() {
  return std::move(library_);
}

void LocalConnection::SendAndEnd(const std::uint8_t* bytes, std::size_t size) {
  const int fd = camera_.native();
  const std::size_t done = WriteWithoutWaiting(fd, bytes, size);
  if (done == size) {
    (void)::shutdown(fd, SHUT_WR);
    return;
  }
  writer_ = std::thread([fd, bytes, size, done] {
    std::size_t at = done;
    while (at < size) {
      const ssize_t sent = ::send(fd, bytes + at, size - at, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        break;
      }
      at += static_cast<std::size_t>(sent);
    }
    (void)::shutdown(fd, SHUT_WR);
  });
}

}  // namespace quorvel::fuzz
