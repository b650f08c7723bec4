// One TCP probe of a camera port, the raw material of a connect failure's
// explanation.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

struct PortProbe {
  enum class Result { kConnected, kRefused, kTimedOut, kFailed };
  Result result = Result::kFailed;
  std::string error;     // the system's words, for kFailed
  bool greeted = false;  // a first byte came (only when asked to wait)
};

// Whether address is dotted IPv4 text, the only form that is probed.
bool IsDottedIPv4(const std::string& address);
// Connects to address:port within ms; with awaitGreeting it then waits up to
// ms for the peer's first byte, which it only peeks at.
PortProbe ProbePort(const std::string& address, std::uint16_t port, int ms,
                    bool awaitGreeting);

}  // namespace tools
