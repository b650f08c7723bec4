#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace quorvel::platform {
namespace {

// Waits up to ms for events on fd; true when they (or an error or hang-up,
// which the next call reports) came. Interruptions do not extend the wait.
bool WaitFor(int fd, short events, std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  for (;;) {
    int timeout = -1;
    if (ms != kWaitForever) {
      const std::uint32_t spent = TickCount() - start;
      timeout = spent >= ms ? 0 : static_cast<int>(std::min<std::uint32_t>(
                                      ms - spent, INT_MAX));
    }
    pollfd watched{fd, events, 0};
    const int ready = ::poll(&watched, 1, timeout);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // the next call reports the error
  }
}

sockaddr_in MakeAddress(std::uint32_t ipv4, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = ipv4;
  return address;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    native_ = other.Release();
  }
  return *this;
}

Socket Socket::ConnectTcp(std::uint32_t ipv4, std::uint16_t port,
                          std::uint32_t timeoutMs) {
  // Non-blocking while connecting, so a peer that never answers the
  // handshake costs at most timeoutMs; blocking again afterwards.
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK,
                         IPPROTO_TCP));
  if (!socket.valid()) return socket;
  const sockaddr_in address = MakeAddress(ipv4, port);
  int result;
  do {
    result =
        ::connect(socket.native(), reinterpret_cast<const sockaddr*>(&address),
                  sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (errno != EINPROGRESS) return Socket();
    if (!WaitFor(socket.native(), POLLOUT, timeoutMs)) return Socket();
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.native(), SOL_SOCKET, SO_ERROR, &error, &size) !=
            0 ||
        error != 0) {
      return Socket();
    }
  }
  const int flags = ::fcntl(socket.native(), F_GETFL);
  if (flags < 0 || ::fcntl(socket.native(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return Socket();
  }
  // Commands are small request-answer exchanges; do not let Nagle hold a
  // payload back behind its header.
  const int on = 1;
  (void)::setsockopt(socket.native(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return socket;
}

Socket Socket::ListenTcp(std::uint32_t ipv4, std::uint16_t port) {
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!socket.valid()) return socket;
  const int on = 1;
  (void)::setsockopt(socket.native(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = MakeAddress(ipv4, port);
  if (::bind(socket.native(), reinterpret_cast<const sockaddr*>(&address),
             sizeof address) != 0 ||
      ::listen(socket.native(), 16) != 0) {
    return Socket();
  }
  return socket;
}

Socket Socket::Accept() const {
  for (;;) {
    const int accepted = ::accept4(native_, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted >= 0) {
      const int on = 1;
      (void)::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return Socket(accepted);
    }
    if (errno != EINTR && errno != ECONNABORTED) return Socket();
  }
}

IoResult Socket::SendAll(const void* bytes, std::size_t count,
                         std::uint32_t idleMs) const {
  const auto* cursor = static_cast<const unsigned char*>(bytes);
  while (count > 0) {
    // Only what fits is handed over at once, so the wait for room is the
    // bounded poll and never the send itself.
    const ssize_t sent =
        ::send(native_, cursor, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (!WaitFor(native_, POLLOUT, idleMs)) return IoResult::kTimedOut;
        continue;
      }
      return errno == EPIPE || errno == ECONNRESET ? IoResult::kClosed
                                                   : IoResult::kFailed;
    }
    cursor += sent;
    count -= static_cast<std::size_t>(sent);
  }
  return IoResult::kOk;
}

ReceiveResult Socket::ReceiveSome(void* bytes, std::size_t count,
                                  std::uint32_t idleMs) const {
  if (idleMs != kWaitForever && !WaitFor(native_, POLLIN, idleMs)) {
    return {ReceiveResult::Kind::kTimedOut, 0};
  }
  const ssize_t received = ::recv(native_, bytes, count, 0);
  if (received > 0) {
    return {ReceiveResult::Kind::kData, static_cast<std::size_t>(received)};
  }
  if (received == 0) return {ReceiveResult::Kind::kClosed, 0};
  if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
    return {ReceiveResult::Kind::kWouldBlock, 0};
  }
  return {ReceiveResult::Kind::kError, 0};
}

bool Socket::WaitReadable(std::uint32_t ms) const {
  return WaitFor(native_, POLLIN, ms);
}

void Socket::ShutdownBoth() const {
  if (valid()) (void)::shutdown(native_, SHUT_RDWR);
}

void Socket::Close() {
  if (valid()) {
    (void)::close(native_);
    native_ = kInvalid;
  }
}

NativeSocket Socket::Release() {
  const NativeSocket native = native_;
  native_ = kInvalid;
  return native;
}

bool InitSocketLayer() { return true; }
void EndSocketLayer() {}

bool ParseIPv4(const char* text, std::uint32_t* ipv4) {
  if (text == nullptr) return false;
  const in_addr_t value = ::inet_addr(text);
  if (value == INADDR_NONE) return false;
  *ipv4 = value;
  return true;
}

bool ResolveIPv4(const char* text, std::uint32_t* ipv4) {
  if (ParseIPv4(text, ipv4)) return true;
  if (text == nullptr || *text == '\0') return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(text, nullptr, &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  ::freeaddrinfo(found);
  *ipv4 = address.sin_addr.s_addr;
  return true;
}

}  // namespace quorvel::platform
