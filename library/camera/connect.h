// Connecting a camera.
#pragma once

#include <cstdint>
#include <cwchar>

#include "registry/registry.h"

namespace quorvel {

// How long connecting waits for the camera's TCP handshake on each port.
inline constexpr std::uint32_t kConnectTimeoutMs = 10000;

// Connects the camera at address (dotted IPv4 text or a host name) with
// display, without display, or for flash access, and returns its handle, or
// null after undoing everything the attempt created. An address already
// connected returns its camera; one being connected on another thread waits
// for that connect and returns its result; a lost camera at the address is
// disconnected and connected afresh. Every step is bounded in time.
const char* ConnectCamera(Registry& registry, const wchar_t* address,
                          std::int32_t width, std::int32_t height,
                          bool display, bool flash);

}  // namespace quorvel
