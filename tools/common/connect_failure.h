// Why the library could not connect a camera, in words a user can act on.
// The library answers a connect with a handle or nothing, so after a
// refusal the tool looks at the address itself: does anything listen, does
// it greet, does it take the video channel.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

enum class ConnectKind {
  kFlash,  // command channel only
  kVideo,  // command and video channels, with the picture size
};

// Call after a connect to address failed; takes a few seconds at most.
// Only a dotted IPv4 address is probed: a host name would be looked up
// again, and the library's own lookup already failed or succeeded.
std::string ExplainConnectFailure(const std::string& address, ConnectKind kind,
                                  std::int32_t width, std::int32_t height);

}  // namespace tools
