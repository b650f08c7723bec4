#include "connect_failure.h"

#include <string>

#include "port_probe.h"
#include "quorvel/quorvel.h"

namespace tools {
namespace {

constexpr std::uint16_t kCommandPort = 3002;
constexpr std::uint16_t kDataPort = 3001;
// Long enough for a loaded machine or a slow link, short enough that a
// failure message does not keep the user waiting.
constexpr int kProbeMs = 3000;

// What a failed probe of port met, as the end of a sentence.
std::string PortFailure(std::uint16_t port, const PortProbe& probe) {
  const std::string name = "port " + std::to_string(port);
  if (probe.result == PortProbe::Result::kRefused) {
    return name + " refused the connection";
  }
  if (probe.result == PortProbe::Result::kTimedOut) {
    return "no connection to " + name + " within " +
           std::to_string(kProbeMs / 1000) + " s";
  }
  return name + ": " + probe.error;
}

}  // namespace

std::string ExplainConnectFailure(const std::string& address, ConnectKind kind,
                                  std::int32_t width, std::int32_t height) {
  if (!IsDottedIPv4(address)) {
    return "cannot connect to the camera at " + address;
  }
  const PortProbe commands =
      ProbePort(address, kCommandPort, kProbeMs, /*awaitGreeting=*/true);
  if (commands.result == PortProbe::Result::kRefused) {
    return "nothing serves " + address + ": " +
           PortFailure(kCommandPort, commands);
  }
  if (commands.result != PortProbe::Result::kConnected) {
    return address + " does not answer: " + PortFailure(kCommandPort, commands);
  }
  if (!commands.greeted) {
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
  const PortProbe video =
      ProbePort(address, kDataPort, kProbeMs, /*awaitGreeting=*/false);
  if (video.result != PortProbe::Result::kConnected) {
    return "the camera at " + address +
           " answers, but its video channel does not: " +
           PortFailure(kDataPort, video);
  }
  return "the camera at " + address +
         " answers but refused the video connection: a start-up command "
         "failed, or " +
         std::to_string(width) + "x" + std::to_string(height) +
         " frames do not fit in memory";
}

}  // namespace tools
