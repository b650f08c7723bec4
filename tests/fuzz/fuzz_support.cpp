#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness_cost.h"
#include "receiver/motion_mask.h"

namespace quorvel::fuzz {

void Fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

std::uint32_t TouchBytes(const std::uint8_t* bytes, std::size_t count) {
#if FUZZ_HAS_ASAN
  // The shadow tells at once whether all of it may be read, where a read
  // of every byte of a large frame would cost milliseconds; reading the
  // first byte that may not gives AddressSanitizer's own report.
  if (const void* bad =
          __asan_region_is_poisoned(const_cast<std::uint8_t*>(bytes), count)) {
    return *static_cast<const volatile std::uint8_t*>(bad);
  }
  return 0;
#else
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  // An opaque use, so the loop cannot be optimised away.
  asm volatile("" : : "r"(sum) : "memory");
  return sum;
#endif
}

// Row by row: a branch-free pass over the labels, then the row's runs of
// one label, so the box and count checks run once a run, not once a pixel.
FUZZ_CHECKER void CheckLabelMap(const std::uint8_t* mask,
                                const std::int32_t* labels, std::int32_t width,
                                std::int32_t height,
                                const ObjectReport* objects, std::int32_t count,
                                std::int64_t* pixelsOf) {
  std::memset(pixelsOf, 0,
              sizeof *pixelsOf * (static_cast<std::size_t>(count) + 1));
  for (std::int32_t y = 0; y < height; ++y) {
    const std::size_t rowStart = static_cast<std::size_t>(y) * width;
    const std::int32_t* row = labels + rowStart;
    const std::uint8_t* moving = mask + rowStart;
    std::uint8_t wrong = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      wrong |= static_cast<std::uint8_t>(
          (static_cast<std::uint32_t>(row[x]) >
           static_cast<std::uint32_t>(count)) |
          ((row[x] != 0) != (moving[x] == kMaskMoving)));
    }
    FUZZ_CHECK(wrong == 0);  // a label out of range, or not the moving pixels
    for (std::int32_t x = 0; x < width;) {
      // Labelled pixels are exactly the moving ones now, so the next one is
      // found in the mask, many bytes at a time.
      const void* next = std::memchr(moving + x, kMaskMoving,
                                     static_cast<std::size_t>(width - x));
      if (next == nullptr) break;
      x = static_cast<std::int32_t>(static_cast<const std::uint8_t*>(next) -
                                    moving);
      const std::int32_t label = row[x];
      const std::int32_t begin = x;
      while (++x < width && row[x] == label) {
      }
      const ObjectReport& object = objects[label - 1];
      FUZZ_CHECK(begin >= object.minX && x - 1 <= object.maxX &&
                 y >= object.minY && y <= object.maxY);
      pixelsOf[label] += x - begin;
    }
  }
  for (std::int32_t k = 0; k < count; ++k) {
    FUZZ_CHECK(pixelsOf[k + 1] == objects[k].pixelCount);
  }
}

platform::IoResult MemoryStream::Take(void* to, std::int64_t count) {
  if (count <= 0) return platform::IoResult::kOk;
  const std::size_t taken = std::min(left_, static_cast<std::size_t>(count));
  if (to != nullptr) std::memcpy(to, at_, taken);
  at_ += taken;
  left_ -= taken;
  return taken == static_cast<std::size_t>(count) ? platform::IoResult::kOk
                                                  : platform::IoResult::kClosed;
}

platform::IoResult MemoryStream::Read(void* bytes, std::int64_t count) {
  // Bytes read into no buffer at all are the library's fault.
  FUZZ_CHECK(count <= 0 || left_ == 0 || bytes != nullptr);
  return Take(bytes, count);
}

platform::IoResult MemoryStream::Skip(std::int64_t count) {
  return Take(nullptr, count);
}

}  // namespace quorvel::fuzz
