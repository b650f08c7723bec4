// Buffers whose size comes from a camera or a caller: running out of memory
// for one is an answer to report, not an exception to cross the C boundary.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace quorvel::platform {

// count value-initialised elements (zero bytes for the plain types the
// library keeps in them), or null when the memory cannot be had.
template <typename T>
std::unique_ptr<T[]> TryAllocate(std::size_t count) noexcept {
  try {
    return std::make_unique<T[]>(count);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// The same without the zeroing, for a buffer whose owner writes every byte
// before reading it.
template <typename T>
std::unique_ptr<T[]> TryAllocateForOverwrite(std::size_t count) noexcept {
  try {
    return std::make_unique_for_overwrite<T[]>(count);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace quorvel::platform
