#include "receiver/motion_simd.h"

#include <atomic>

namespace quorvel::motion_simd {
namespace {

std::atomic<bool> avx2Allowed{true};

bool CpuHasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

}  // namespace

bool UseAvx2() {
  return avx2Allowed.load(std::memory_order_relaxed) && CpuHasAvx2();
}

void AllowAvx2(bool allowed) {
  avx2Allowed.store(allowed, std::memory_order_relaxed);
}

}  // namespace quorvel::motion_simd
