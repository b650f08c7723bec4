// Vector fills shared by mask decoding and object labelling.
//
// The helpers use the compiler's generic vector types instead of intrinsics
// so that one body serves both instruction sets: inlined into a function
// compiled for AVX2 they become 32-byte stores, in baseline code pairs of
// 16-byte SSE2 stores. They must therefore always be inlined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvel::motion_simd {

// Declared with typedef, not `using`: clang ignores aligned() in an alias
// declaration, which left these types 32-byte aligned there, so the stores
// into mask and label rows at any offset became aligned stores that fault.
typedef std::uint8_t Bytes32
    __attribute__((vector_size(32), aligned(1), may_alias));
typedef std::int32_t Ints8
    __attribute__((vector_size(32), aligned(1), may_alias));
static_assert(alignof(Bytes32) == 1 && alignof(Ints8) == 1,
              "vector loads and stores here may start at any byte");

#define QUORVEL_MOTION_INLINE [[gnu::always_inline]] inline

// Vectors never cross a function boundary (the helpers take the scalar and
// splat it where they store), which keeps the calling convention out of it.
QUORVEL_MOTION_INLINE void StoreSplat(std::uint8_t* p, std::uint8_t value) {
  *reinterpret_cast<Bytes32*>(p) = Bytes32{} + value;
}

QUORVEL_MOTION_INLINE void StoreSplat(std::int32_t* p, std::int32_t value) {
  *reinterpret_cast<Ints8*>(p) = Ints8{} + value;
}

// Writes exactly [p, p + count) with a splatted value. Spans of a full
// vector or more end with a store aligned to their last byte, overlapping
// the one before instead of falling back to a byte loop.
QUORVEL_MOTION_INLINE void FillBytesExact(std::uint8_t* p, std::size_t count,
                                          std::uint8_t value) {
  if (count >= 32) {
    std::uint8_t* const last = p + count - 32;
    for (; p < last; p += 32) StoreSplat(p, value);
    StoreSplat(last, value);
    return;
  }
  const std::uint64_t pattern = 0x0101010101010101ull * value;
  if (count >= 8) {
    // Up to four overlapping words cover 8..31 bytes.
    std::uint8_t* const last = p + count - 8;
    for (; p < last; p += 8) std::memcpy(p, &pattern, 8);
    std::memcpy(last, &pattern, 8);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) p[i] = value;
}

// Writes `value` to [p, end). Spans of up to 16 entries take two vector
// stores without a branch on their length: the first may run past `end`
// when that stays below `limit`, and the entries it puts there are garbage
// that the caller overwrites with its next, adjacent span.
QUORVEL_MOTION_INLINE void FillIntsSpill(std::int32_t* p, std::int32_t* end,
                                         const std::int32_t* limit,
                                         std::int32_t value) {
  if (end - p > 16) {
    std::int32_t* const last = end - 8;
    for (; p < last; p += 8) StoreSplat(p, value);
    StoreSplat(last, value);
  } else if (limit - p >= 8) {
    StoreSplat(p, value);
    StoreSplat(end - p > 8 ? end - 8 : p, value);
  } else {
    for (; p < end; ++p) *p = value;
  }
}

}  // namespace quorvel::motion_simd
