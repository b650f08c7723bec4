#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/socket.h"

namespace quorvel::platform {
namespace {

// Winsock's "would block" (10035): the call is retried after a wait.
bool WouldBlock(int error) { return error == WSAEWOULDBLOCK; }

// Whether this socket was shut down here, by another thread: Winsock
// wakes no select for that, but a call on the socket then fails with
// WSAESHUTDOWN, and an empty one moves no data.
bool ShutDownHere(SOCKET socket, bool forWriting) {
  char none = 0;
  const int result = forWriting ? ::send(socket, &none, 0, 0)
                                : ::recv(socket, &none, 0, 0);
  return result == SOCKET_ERROR && ::WSAGetLastError() == WSAESHUTDOWN;
}

// How often a wait looks for a shutdown by another thread; it bounds how
// long a disconnect waits for a transfer in progress to give up.
constexpr std::uint32_t kShutdownLookMs = 50;

// Sockets stay non-blocking for their whole life, so every wait is a
// select with its own bound and no call can block past it. Waits up to ms
// for readability (or writability); true when it (or an error or a
// shutdown, which the next call reports) came.
bool WaitFor(SOCKET socket, bool forWriting, std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  for (;;) {
    std::uint32_t slice = kShutdownLookMs;
    if (ms != kWaitForever) {
      const std::uint32_t spent = TickCount() - start;
      const std::uint32_t left = spent >= ms ? 0 : ms - spent;
      slice = std::min(left, kShutdownLookMs);
    }
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval limit{static_cast<long>(slice / 1000u),
                  static_cast<long>(slice % 1000u) * 1000L};
    // A failed connect shows in the exception set, not the write set.
    const int count = ::select(0, forWriting ? nullptr : &ready,
                               forWriting ? &ready : nullptr, &failed, &limit);
    if (count > 0) return true;
    if (count < 0 && ::WSAGetLastError() != WSAEINTR) return true;
    if (ShutDownHere(socket, forWriting)) return true;
    if (ms != kWaitForever && TickCount() - start >= ms) return false;
  }
}

bool MakeNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

void NoDelay(SOCKET socket) {
  // Commands are small request-answer exchanges; do not let Nagle hold a
  // payload back behind its header.
  const BOOL on = TRUE;
  (void)::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY,
                     reinterpret_cast<const char*>(&on), sizeof on);
}

Socket NewTcpSocket() {
  // Not inherited by child processes, like the POSIX build's CLOEXEC.
  // Systems before Windows 7 SP1 refuse the flag; their sockets are then
  // inheritable, which only matters to programs that start others.
  SOCKET native = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (native == INVALID_SOCKET) {
    native = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED);
  }
  return Socket(native);
}

sockaddr_in MakeAddress(std::uint32_t ipv4, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = ipv4;
  return address;
}

// A listener's shutdown does not wake a thread waiting in accept on
// Windows; a connection of our own does. The acceptor then sees its own
// stop flag, which callers set before shutting the listener down.
void WakeAcceptor(SOCKET listener) {
  sockaddr_in address{};
  int size = sizeof address;
  if (::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) !=
      0) {
    return;
  }
  if (address.sin_addr.s_addr == htonl(INADDR_ANY)) {
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  const Socket waker = Socket::ConnectTcp(address.sin_addr.s_addr,
                                          ntohs(address.sin_port), 1000);
  (void)waker;
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
  Socket socket = NewTcpSocket();
  if (!socket.valid() || !MakeNonBlocking(socket.native())) return Socket();
  const sockaddr_in address = MakeAddress(ipv4, port);
  if (::connect(socket.native(), reinterpret_cast<const sockaddr*>(&address),
                sizeof address) != 0) {
    if (!WouldBlock(::WSAGetLastError())) return Socket();
    if (!WaitFor(socket.native(), true, timeoutMs)) return Socket();
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(socket.native(), SOL_SOCKET, SO_ERROR,
                     reinterpret_cast<char*>(&error), &size) != 0 ||
        error != 0) {
      return Socket();
    }
  }
  NoDelay(socket.native());
  return socket;
}

Socket Socket::ListenTcp(std::uint32_t ipv4, std::uint16_t port) {
  Socket socket = NewTcpSocket();
  if (!socket.valid()) return socket;
  // Exclusive use: on Windows SO_REUSEADDR would let a second server take
  // the same address and port, which the POSIX option never allows.
  const BOOL on = TRUE;
  (void)::setsockopt(socket.native(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&on), sizeof on);
  const sockaddr_in address = MakeAddress(ipv4, port);
  if (::bind(socket.native(), reinterpret_cast<const sockaddr*>(&address),
             sizeof address) != 0 ||
      ::listen(socket.native(), 16) != 0 || !MakeNonBlocking(socket.native())) {
    return Socket();
  }
  return socket;
}

Socket Socket::Accept() const {
  for (;;) {
    if (!WaitFor(native_, false, kWaitForever)) continue;
    const SOCKET accepted = ::accept(native_, nullptr, nullptr);
    if (accepted != INVALID_SOCKET) {
      Socket connection(accepted);
      // Accepted sockets inherit the listener's non-blocking mode on
      // Windows; set it anyway, the waits depend on it.
      if (!MakeNonBlocking(accepted)) return Socket();
      NoDelay(accepted);
      return connection;
    }
    const int error = ::WSAGetLastError();
    if (!WouldBlock(error) && error != WSAECONNRESET && error != WSAEINTR) {
      return Socket();
    }
  }
}

IoResult Socket::SendAll(const void* bytes, std::size_t count,
                         std::uint32_t idleMs) const {
  const auto* cursor = static_cast<const char*>(bytes);
  while (count > 0) {
    const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
    const int sent = ::send(native_, cursor, piece, 0);
    if (sent == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error == WSAEINTR) continue;
      if (WouldBlock(error)) {
        if (!WaitFor(native_, true, idleMs)) return IoResult::kTimedOut;
        continue;
      }
      return error == WSAECONNRESET || error == WSAECONNABORTED ||
                     error == WSAESHUTDOWN || error == WSAENOTCONN
                 ? IoResult::kClosed
                 : IoResult::kFailed;
    }
    cursor += sent;
    count -= static_cast<std::size_t>(sent);
  }
  return IoResult::kOk;
}

ReceiveResult Socket::ReceiveSome(void* bytes, std::size_t count,
                                  std::uint32_t idleMs) const {
  if (!WaitFor(native_, false, idleMs)) {
    return {ReceiveResult::Kind::kTimedOut, 0};
  }
  const int piece = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
  const int received = ::recv(native_, static_cast<char*>(bytes), piece, 0);
  if (received > 0) {
    return {ReceiveResult::Kind::kData, static_cast<std::size_t>(received)};
  }
  if (received == 0) return {ReceiveResult::Kind::kClosed, 0};
  const int error = ::WSAGetLastError();
  if (error == WSAEINTR || WouldBlock(error)) {
    return {ReceiveResult::Kind::kWouldBlock, 0};
  }
  // A reset or a local shutdown ends the stream as a close does.
  if (error == WSAECONNRESET || error == WSAECONNABORTED ||
      error == WSAESHUTDOWN) {
    return {ReceiveResult::Kind::kClosed, 0};
  }
  return {ReceiveResult::Kind::kError, 0};
}

bool Socket::WaitReadable(std::uint32_t ms) const {
  return WaitFor(native_, false, ms);
}

void Socket::ShutdownBoth() const {
  if (!valid()) return;
  if (::shutdown(native_, SD_BOTH) == 0) return;
  BOOL listening = FALSE;
  int size = sizeof listening;
  if (::getsockopt(native_, SOL_SOCKET, SO_ACCEPTCONN,
                   reinterpret_cast<char*>(&listening), &size) == 0 &&
      listening) {
    WakeAcceptor(native_);
  }
}

void Socket::Close() {
  if (valid()) {
    (void)::closesocket(native_);
    native_ = kInvalid;
  }
}

NativeSocket Socket::Release() {
  const NativeSocket native = native_;
  native_ = kInvalid;
  return native;
}

bool InitSocketLayer() {
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    ::WSACleanup();
    return false;
  }
  return true;
}

void EndSocketLayer() { (void)::WSACleanup(); }

bool ParseIPv4(const char* text, std::uint32_t* ipv4) {
  if (text == nullptr) return false;
  const unsigned long value = ::inet_addr(text);
  if (value == INADDR_NONE) return false;
  *ipv4 = static_cast<std::uint32_t>(value);
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
