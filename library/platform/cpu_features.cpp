#include "platform/cpu_features.h"

#include <atomic>

namespace quorvel::platform {
namespace {

std::atomic<bool> avx2Allowed{true};

#if defined(__x86_64__) || defined(__i386__)
bool ProcessorHasAvx2() {
  // The runtime fills the feature word in at start-up; initialising it here
  // as well keeps the answer right for a caller in a static constructor that
  // runs before the runtime's own.
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#else
bool ProcessorHasAvx2() { return false; }
#endif

}  // namespace

bool CpuHasAvx2() {
  return avx2Allowed.load(std::memory_order_relaxed) && ProcessorHasAvx2();
}

void AllowAvx2(bool allowed) {
  avx2Allowed.store(allowed, std::memory_order_relaxed);
}

}  // namespace quorvel::platform
