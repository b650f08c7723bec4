#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "port_probe.h"

namespace tools {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// 0 when connected, ETIMEDOUT when nothing came back, else the errno.
int ConnectWithin(const Descriptor& socket, in_addr ip, std::uint16_t port,
                  int ms) {
  if (socket.get() < 0) return errno;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = ip;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&peer),
                sizeof peer) == 0) {
    return 0;
  }
  if (errno != EINPROGRESS) return errno;
  pollfd wait{socket.get(), POLLOUT, 0};
  if (::poll(&wait, 1, ms) <= 0) return ETIMEDOUT;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    return errno;
  }
  return error;
}

// A camera speaks first: it greets every new command connection.
bool GreetsWithin(const Descriptor& socket, int ms) {
  pollfd wait{socket.get(), POLLIN, 0};
  if (::poll(&wait, 1, ms) <= 0) return false;
  char byte = 0;
  return ::recv(socket.get(), &byte, 1, MSG_PEEK) == 1;
}

}  // namespace

bool IsDottedIPv4(const std::string& address) {
  in_addr ip{};
  return ::inet_pton(AF_INET, address.c_str(), &ip) == 1;
}

PortProbe ProbePort(const std::string& address, std::uint16_t port, int ms,
                    bool awaitGreeting) {
  PortProbe probe;
  in_addr ip{};
  if (::inet_pton(AF_INET, address.c_str(), &ip) != 1) return probe;
  const Descriptor socket(
      ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const int error = ConnectWithin(socket, ip, port, ms);
  if (error == ECONNREFUSED) {
    probe.result = PortProbe::Result::kRefused;
  } else if (error == ETIMEDOUT) {
    probe.result = PortProbe::Result::kTimedOut;
  } else if (error != 0) {
    probe.error = std::strerror(error);
  } else {
    probe.result = PortProbe::Result::kConnected;
    probe.greeted = awaitGreeting && GreetsWithin(socket, ms);
  }
  return probe;
}

}  // namespace tools
