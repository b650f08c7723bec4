#include "receiver/motion_mask.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/cpu_features.h"
#include "receiver/motion_simd.h"

namespace quorvel {
namespace {

using motion_simd::Bytes32;

constexpr std::size_t kMaxRun = 128;
// A short run is written with one full vector that runs past its end; the
// overshoot is overwritten by the runs that follow, so the vector path
// stops this many code bytes (each at least one pixel) before the end.
constexpr std::int32_t kTailCodes = 32;
// Thirty-two code bytes of 128 pixels each: in a mostly still (or mostly
// moving) mask long stretches of identical full-length runs are the norm.
constexpr std::int32_t kBlockCodes = 32;
constexpr std::size_t kBlockPixels = kBlockCodes * kMaxRun;

QUORVEL_MOTION_INLINE std::uint8_t RunValue(std::uint8_t code) {
  return static_cast<std::uint8_t>(0u - (code & 1u));
}

QUORVEL_MOTION_INLINE bool IsBlockOf(const std::uint8_t* code,
                                     std::uint8_t byte) {
  const Bytes32 block = *reinterpret_cast<const Bytes32*>(code);
  const Bytes32 same = block == (Bytes32{} + byte);
  std::uint64_t words[4];
  std::memcpy(words, &same, sizeof(words));
  return (words[0] & words[1] & words[2] & words[3]) == ~0ull;
}

// Decodes code[0, end) from image position `pos` on with vector stores,
// while a full-length run still fits; returns the code bytes used and
// advances `pos`. Never writes at or beyond `total`.
QUORVEL_MOTION_INLINE std::int32_t DecodeVector(const std::uint8_t* code,
                                                std::int32_t end,
                                                std::uint8_t* target,
                                                std::size_t total,
                                                std::size_t& pos) {
  std::int32_t i = 0;
  while (i < end && pos + kMaxRun <= total) {
    const std::uint8_t b = code[i];
    const std::size_t run = (b >> 1) + 1u;
    const std::uint8_t value = RunValue(b);
    if (run == kMaxRun && i + kBlockCodes <= end &&
        pos + kBlockPixels <= total && IsBlockOf(code + i, b)) {
      std::size_t blocks = 1;
      while (i + static_cast<std::int32_t>(blocks + 1) * kBlockCodes <= end &&
             pos + (blocks + 1) * kBlockPixels <= total &&
             IsBlockOf(code + i + blocks * kBlockCodes, b)) {
        ++blocks;
      }
      std::memset(target + pos, value, blocks * kBlockPixels);
      pos += blocks * kBlockPixels;
      i += static_cast<std::int32_t>(blocks) * kBlockCodes;
      continue;
    }
    std::uint8_t* const p = target + pos;
    motion_simd::StoreSplat(p, value);
    if (run > 32) {
      // Four stores cover 33..128 bytes exactly, without a branch on the
      // length: the middle two are clamped to end at the run's end.
      std::uint8_t* const last = p + run - 32;
      motion_simd::StoreSplat(std::min(p + 32, last), value);
      motion_simd::StoreSplat(std::min(p + 64, last), value);
      motion_simd::StoreSplat(last, value);
    }
    pos += run;
    ++i;
  }
  return i;
}

QUORVEL_MOTION_INLINE void Decode(const std::uint8_t* code,
                                  std::int32_t codeBytes, std::uint8_t* target,
                                  std::size_t total) {
  std::size_t pos = 0;
  std::int32_t i = 0;
  if (codeBytes > kTailCodes) {
    i = DecodeVector(code, codeBytes - kTailCodes, target, total, pos);
  }
  for (; i < codeBytes && pos < total; ++i) {
    const std::uint8_t b = code[i];
    const std::size_t run = std::min<std::size_t>((b >> 1) + 1u, total - pos);
    motion_simd::FillBytesExact(target + pos, run, RunValue(b));
    pos += run;
  }
}

__attribute__((target("avx2"))) void DecodeAvx2(const std::uint8_t* code,
                                                std::int32_t codeBytes,
                                                std::uint8_t* target,
                                                std::size_t total) {
  Decode(code, codeBytes, target, total);
}

void DecodeBaseline(const std::uint8_t* code, std::int32_t codeBytes,
                    std::uint8_t* target, std::size_t total) {
  Decode(code, codeBytes, target, total);
}

}  // namespace

std::int32_t DecodeMotionMask(const std::uint8_t* code, std::int32_t codeBytes,
                              std::uint8_t* target, std::int32_t width,
                              std::int32_t height) {
  if (code == nullptr || codeBytes < 0) return 0;
  if (target == nullptr || width < 1 || height < 1) return codeBytes;
  // Both factors are positive 32-bit values: the product fits a size_t.
  const std::size_t total =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (platform::CpuHasAvx2()) {
    DecodeAvx2(code, codeBytes, target, total);
  } else {
    DecodeBaseline(code, codeBytes, target, total);
  }
  return codeBytes;
}

std::size_t MaskRunPixels(const std::uint8_t* code, std::int32_t codeBytes,
                          std::size_t limit) {
  if (code == nullptr) return 0;
  std::size_t pixels = 0;
  for (std::int32_t i = 0; i < codeBytes && pixels < limit; ++i) {
    pixels += (code[i] >> 1) + 1u;
  }
  return std::min(pixels, limit);
}

}  // namespace quorvel
