// The device names that handles point at. Each number's text is made once
// and kept for the life of the library, so a handle whose camera has gone
// still points at readable text: it then designates whichever camera bears
// that name, as any copy of the text would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace quorvel {

inline constexpr std::size_t kDeviceNameSize = 32;  // "RVXOSTRL1[n]" and NUL

class DeviceNames {
 public:
  DeviceNames() = default;
  DeviceNames(const DeviceNames&) = delete;
  DeviceNames& operator=(const DeviceNames&) = delete;

  // The permanent text "RVXOSTRL1[number]"; number is at least 1. Not
  // thread-safe: its owner serialises the calls.
  const char* Name(std::int64_t number);

 private:
  // A deque never moves its elements as it grows.
  std::deque<std::array<char, kDeviceNameSize>> names_;
};

}  // namespace quorvel
