// What keeps a fuzz target's own work cheap next to the library's: buffers
// kept from input to input, and checking loops left out of the coverage
// and sanitizer instrumentation. Coverage hooks would run on every pixel a
// check reads and feed libFuzzer features of the harness, not of the
// library; the sanitizers' checks a pixel keep the loops from vectorising,
// and the checks only read buffers the harness sized itself, where the
// library's own instrumented accesses are what AddressSanitizer watches.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

#include <sanitizer/asan_interface.h>

// For functions of plain loops over pointers: a call into an inline library
// function is not inlined into them and keeps its instrumentation.
#if defined(__clang__)
#define FUZZ_CHECKER \
  __attribute__((no_sanitize("coverage", "address", "undefined")))
#else
#define FUZZ_CHECKER
#endif

#if defined(__SANITIZE_ADDRESS__)
#define FUZZ_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FUZZ_HAS_ASAN 1
#endif
#endif
#ifndef FUZZ_HAS_ASAN
#define FUZZ_HAS_ASAN 0
#endif

namespace quorvel::fuzz {

// A buffer reused by every input: it is reallocated only when an input
// needs more than any before it, and AddressSanitizer still sees exactly
// the size asked for, because the rest of the allocation is poisoned. A
// read or write past the requested size is reported as it would be for an
// allocation of that size.
template <typename T>
class ReusedBuffer {
 public:
  ReusedBuffer() = default;
  ReusedBuffer(const ReusedBuffer&) = delete;
  ReusedBuffer& operator=(const ReusedBuffer&) = delete;
  ~ReusedBuffer() { Unpoison(); }

  // count elements, their contents unspecified; never null.
  T* Get(std::size_t count) {
    if (count > capacity_ || data_ == nullptr) {
      Unpoison();
      capacity_ = count > 0 ? count : 1;
      data_ = std::make_unique_for_overwrite<T[]>(capacity_);
      size_ = capacity_;
    }
    // Only the change of size is poisoned or unpoisoned: rewriting the
    // shadow of a whole large buffer on every input would cost more than
    // most inputs' own work.
    if (count > size_) {
      ASAN_UNPOISON_MEMORY_REGION(data_.get() + size_,
                                  (count - size_) * sizeof(T));
    } else {
      ASAN_POISON_MEMORY_REGION(data_.get() + count,
                                (size_ - count) * sizeof(T));
    }
    size_ = count;
    return data_.get();
  }

 private:
  void Unpoison() {
    if (data_ != nullptr) {
      ASAN_UNPOISON_MEMORY_REGION(data_.get(), capacity_ * sizeof(T));
    }
  }

  std::unique_ptr<T[]> data_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;  // elements not poisoned, from the start
};

}  // namespace quorvel::fuzz
