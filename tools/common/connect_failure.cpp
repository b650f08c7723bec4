#include "connect_failure.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "quorvel/quorvel.h"

namespace tools {
namespace {

constexpr std::uint16_t kCommandPort = 3002;
constexpr std::uint16_t kDataPort = 3001;
// Long enough for a loaded machine or a slow link, short enough that a
// failure message does not keep the user waiting.
constexpr int kProbeMs = 3000;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

struct Probe {
  int error = 0;  // 0 when connected, ETIMEDOUT when nothing came back
  Descriptor socket;
};

Probe ConnectWithin(in_addr ip, std::uint16_t port) {
  Probe probe{0, Descriptor(::socket(
                     AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0))};
  if (probe.socket.get() < 0) {
    probe.error = errno;
    return probe;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = ip;
  if (::connect(probe.socket.get(), reinterpret_cast<const sockaddr*>(&peer),
                sizeof peer) == 0) {
    return probe;
  }
  if (errno != EINPROGRESS) {
    probe.error = errno;
    return probe;
  }
  pollfd wait{probe.socket.get(), POLLOUT, 0};
  if (::poll(&wait, 1, kProbeMs) <= 0) {
    probe.error = ETIMEDOUT;
    return probe;
  }
  socklen_t length = sizeof probe.error;
  if (::getsockopt(probe.socket.get(), SOL_SOCKET, SO_ERROR, &probe.error,
                   &length) != 0) {
    probe.error = errno;
  }
  return probe;
}

// A camera speaks first: it greets every new command connection.
bool GreetsWithin(const Descriptor& socket) {
  pollfd wait{socket.get(), POLLIN, 0};
  if (::poll(&wait, 1, kProbeMs) <= 0) return false;
  char byte = 0;
  return ::recv(socket.get(), &byte, 1, MSG_PEEK) == 1;
}

// What a failed probe of port met, as the end of a sentence.
std::string PortFailure(std::uint16_t port, int error) {
  const std::string name = "port " + std::to_string(port);
  if (error == ECONNREFUSED) return name + " refused the connection";
  if (error == ETIMEDOUT) {
    return "no connection to " + name + " within " +
           std::to_string(kProbeMs / 1000) + " s";
  }
  return name + ": " + std::strerror(error);
}

}  // namespace

std::string ExplainConnectFailure(const std::string& address, ConnectKind kind,
                                  std::int32_t width, std::int32_t height) {
  in_addr ip{};
  if (::inet_pton(AF_INET, address.c_str(), &ip) != 1) {
    return "cannot connect to the camera at " + address;
  }
  const Probe commands = ConnectWithin(ip, kCommandPort);
  if (commands.error == ECONNREFUSED) {
    return "nothing serves " + address + ": " +
           PortFailure(kCommandPort, commands.error);
  }
  if (commands.error != 0) {
    return address +
           " does not answer: " + PortFailure(kCommandPort, commands.error);
  }
  if (!GreetsWithin(commands.socket)) {
    return address + " accepts connections on port " +
           std::to_string(kCommandPort) + " but sends no greeting within " +
           std::to_string(kProbeMs / 1000) + " s";
  }
  // The command channel alone tells a wrong greeting from a failure in the
  // video connection's own steps; it fails at once on a wrong greeting.
  const char* handle = rvx_FlashConnectCameraA(address.c_str());
  if (handle == nullptr) {
    return address + " answers on port " + std::to_string(kCommandPort) +
           " but not with a camera's greeting";
  }
  rvx_DisconnectCamera(handle);
  if (kind == ConnectKind::kFlash) {
    return "the camera at " + address +
           " did not take the connection but answers now: try again";
  }
  const Probe video = ConnectWithin(ip, kDataPort);
  if (video.error != 0) {
    return "the camera at " + address +
           " answers, but its video channel does not: " +
           PortFailure(kDataPort, video.error);
  }
  return "the camera at " + address +
         " answers but refused the video connection: a start-up command "
         "failed, or " +
         std::to_string(width) + "x" + std::to_string(height) +
         " frames do not fit in memory";
}

}  // namespace tools
