#include <winsock2.h>
#include <ws2tcpip.h>

#include "port_probe.h"

namespace tools {
namespace {

class Descriptor {
 public:
  explicit Descriptor(SOCKET socket) : socket_(socket) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

// Waits up to ms for the socket to become writable (or readable); a failed
// connect shows in the exception set. True when something came.
bool WaitWithin(SOCKET socket, bool forWriting, int ms) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(socket, &ready);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(socket, &failed);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  return ::select(0, forWriting ? nullptr : &ready,
                  forWriting ? &ready : nullptr, &failed, &limit) > 0;
}

// 0 when connected, WSAETIMEDOUT when nothing came back, else the error.
int ConnectWithin(const Descriptor& socket, in_addr ip, std::uint16_t port,
                  int ms) {
  if (socket.get() == INVALID_SOCKET) return ::WSAGetLastError();
  u_long nonBlocking = 1;
  if (::ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) {
    return ::WSAGetLastError();
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = ip;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&peer),
                sizeof peer) == 0) {
    return 0;
  }
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return ::WSAGetLastError();
  if (!WaitWithin(socket.get(), true, ms)) return WSAETIMEDOUT;
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR,
                   reinterpret_cast<char*>(&error), &length) != 0) {
    return ::WSAGetLastError();
  }
  return error;
}

// A camera speaks first: it greets every new command connection.
bool GreetsWithin(const Descriptor& socket, int ms) {
  if (!WaitWithin(socket.get(), false, ms)) return false;
  char byte = 0;
  return ::recv(socket.get(), &byte, 1, MSG_PEEK) == 1;
}

}  // namespace

bool IsDottedIPv4(const std::string& address) {
  in_addr ip{};
  return ::inet_pton(AF_INET, address.c_str(), &ip) == 1;
}

// Winsock is running: the library started it when it was loaded.
PortProbe ProbePort(const std::string& address, std::uint16_t port, int ms,
                    bool awaitGreeting) {
  PortProbe probe;
  in_addr ip{};
  if (::inet_pton(AF_INET, address.c_str(), &ip) != 1) return probe;
  const Descriptor socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  const int error = ConnectWithin(socket, ip, port, ms);
  if (error == WSAECONNREFUSED) {
    probe.result = PortProbe::Result::kRefused;
  } else if (error == WSAETIMEDOUT) {
    probe.result = PortProbe::Result::kTimedOut;
  } else if (error != 0) {
    probe.error = "socket error " + std::to_string(error);
  } else {
    probe.result = PortProbe::Result::kConnected;
    probe.greeted = awaitGreeting && GreetsWithin(socket, ms);
  }
  return probe;
}

}  // namespace tools
