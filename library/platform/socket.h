// Blocking TCP sockets over IPv4, owned by a move-only handle. Every wait
// can be bounded, so no peer can hold a caller for ever.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace quorvel::platform {

#if defined(_WIN32)
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

// Outcome of one receive call.
struct ReceiveResult {
  enum class Kind { kData, kClosed, kWouldBlock, kTimedOut, kError };
  Kind kind;
  std::size_t bytes;  // valid for kData
};

// Outcome of a whole transfer.
enum class IoResult {
  kOk,
  kClosed,    // the peer closed the connection, or it was shut down
  kTimedOut,  // nothing moved for the allowed time
  kFailed,    // any other socket error
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(NativeSocket native) : native_(native) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : native_(other.Release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // A connect to ipv4 (network byte order) at port that gives up after
  // timeoutMs; invalid on failure. The socket is blocking afterwards.
  static Socket ConnectTcp(std::uint32_t ipv4, std::uint16_t port,
                           std::uint32_t timeoutMs = kWaitForever);
  // A listening socket with address reuse, for servers on loopback.
  static Socket ListenTcp(std::uint32_t ipv4, std::uint16_t port);
  // Blocks for the next connection; invalid when the listener was shut
  // down or failed.
  Socket Accept() const;

  bool valid() const { return native_ != kInvalid; }
  NativeSocket native() const { return native_; }

  // Sends every byte. Interrupted sends are resumed; a closed peer fails the
  // call and never raises a signal; idleMs bounds each wait for room to
  // send, so a peer that stops reading cannot hold the caller.
  [[nodiscard]] IoResult SendAll(const void* bytes, std::size_t count,
                                 std::uint32_t idleMs = kWaitForever) const;
  // One receive of at most count bytes, waiting at most idleMs for the
  // first of them (kTimedOut when none came).
  [[nodiscard]] ReceiveResult ReceiveSome(
      void* bytes, std::size_t count,
      std::uint32_t idleMs = kWaitForever) const;
  // Whether input (or the end of the stream) arrives within ms; 0 only
  // looks.
  [[nodiscard]] bool WaitReadable(std::uint32_t ms) const;
  // Ends both directions; a blocked reader on another thread returns.
  void ShutdownBoth() const;
  void Close();
  NativeSocket Release();

#if defined(_WIN32)
  static constexpr NativeSocket kInvalid = ~NativeSocket{0};
#else
  static constexpr NativeSocket kInvalid = -1;
#endif

 private:
  NativeSocket native_ = kInvalid;
};

// The socket layer's one-time start and end (nothing to do on POSIX).
bool InitSocketLayer();
void EndSocketLayer();

// inet_addr's reading of dotted text; false for anything else, including
// the all-ones address, which inet_addr cannot tell from an error.
bool ParseIPv4(const char* text, std::uint32_t* ipv4);
// Dotted text or a host name with an IPv4 address.
bool ResolveIPv4(const char* text, std::uint32_t* ipv4);

}  // namespace quorvel::platform
