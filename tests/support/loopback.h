// Loopback addresses for tests. The camera ports are fixed, so every test
// that serves a simulated camera takes its own address: the third byte names
// the test file's block, the fourth the test.
#pragma once

#include <string>

namespace quorvel::test {

// Blocks: 2 command channel, 3 connect, 4 receiver, 5 stream control,
// 6 settings and flash, 7 display, 8 fault matrix, 9 soak, 42 the installed
// example in CI, 43 the tools' command lines.
inline std::string LoopbackAddress(int block, int index) {
  return "127.0." + std::to_string(block) + "." + std::to_string(index);
}

// An address where nothing listens.
inline std::string DeadAddress() { return "127.0.1.250"; }

}  // namespace quorvel::test
