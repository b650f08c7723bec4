// How long tests wait. CI runs them on a loaded 2-core machine, the
// sanitizer builds included, so a wait ends on its condition and its
// deadline only tells a library that never gets there from one that is
// slow.
#pragma once

#include <cstdint>

namespace quorvel::test {

// For what a sound library does soon: far longer than it takes even under
// the sanitizers on a loaded machine.
inline constexpr std::uint32_t kPatienceMs = 20000;

// A disconnect or a roll-back either ends at once or waits out the
// library's 10-second wait for a worker thread that does not stop; a bound
// between the two tells them apart however loaded the machine is.
inline constexpr std::uint32_t kStalledMs = 5000;

}  // namespace quorvel::test
