#include <winsock2.h>

#include "platform/wakeup.h"

namespace quorvel::platform {
namespace {

// The two kernel events live in the slots the POSIX build gives its pipe:
// [0] the wake-up itself (manual reset: it stays raised until cleared),
// [1] the socket's readiness, bound to it with WSAEventSelect per wait.
HANDLE AsHandle(NativeSocket slot) { return reinterpret_cast<HANDLE>(slot); }
NativeSocket AsSlot(HANDLE handle) {
  return handle == nullptr ? Socket::kInvalid
                           : reinterpret_cast<NativeSocket>(handle);
}

// Readable now, or closed (the read that follows reports which).
bool ReadableNow(SOCKET socket) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(socket, &ready);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(socket, &failed);
  timeval none{};
  return ::select(0, &ready, nullptr, &failed, &none) != 0;
}

}  // namespace

Wakeup::Wakeup() {
  fds_[0] = AsSlot(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  fds_[1] = AsSlot(::WSACreateEvent());
}

Wakeup::~Wakeup() {
  if (fds_[0] != Socket::kInvalid) ::CloseHandle(AsHandle(fds_[0]));
  if (fds_[1] != Socket::kInvalid) ::WSACloseEvent(AsHandle(fds_[1]));
}

bool Wakeup::valid() const {
  return fds_[0] != Socket::kInvalid && fds_[1] != Socket::kInvalid;
}

void Wakeup::Signal() { (void)::SetEvent(AsHandle(fds_[0])); }

void Wakeup::Clear() { (void)::ResetEvent(AsHandle(fds_[0])); }

Wakeup::Readiness Wakeup::WaitReadable(const Socket& socket) const {
  const HANDLE wake = AsHandle(fds_[0]);
  if (!socket.valid()) {
    return ::WaitForSingleObject(wake, INFINITE) == WAIT_OBJECT_0
               ? Readiness::kWoken
               : Readiness::kFailed;
  }
  if (::WaitForSingleObject(wake, 0) == WAIT_OBJECT_0) return Readiness::kWoken;
  const HANDLE input = AsHandle(fds_[1]);
  const SOCKET native = socket.native();
  // Binding the event records input already waiting; a close that came
  // before the binding is seen by the look that follows it.
  (void)::WSAResetEvent(input);
  if (::WSAEventSelect(native, input, FD_READ | FD_CLOSE) != 0) {
    return Readiness::kFailed;
  }
  Readiness readiness = Readiness::kReadable;
  if (!ReadableNow(native)) {
    const HANDLE handles[2] = {wake, input};
    const DWORD got = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (got == WAIT_OBJECT_0) {
      readiness = Readiness::kWoken;
    } else if (got != WAIT_OBJECT_0 + 1) {
      readiness = Readiness::kFailed;
    }
  }
  // Unbound again, so the socket's reads and sends stay plain calls (it
  // stays non-blocking, as every socket of this build is).
  (void)::WSAEventSelect(native, nullptr, 0);
  if (readiness != Readiness::kWoken &&
      ::WaitForSingleObject(wake, 0) == WAIT_OBJECT_0) {
    return Readiness::kWoken;
  }
  return readiness;
}

}  // namespace quorvel::platform
