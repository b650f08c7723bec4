// A mutex the thread-safety analysis knows, and its scoped lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/thread_annotations.h"

namespace quorvel::platform {

class TSA_CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() TSA_ACQUIRE() { mutex_.lock(); }
  void Unlock() TSA_RELEASE() { mutex_.unlock(); }
  // True when the lock was taken within ms milliseconds.
  [[nodiscard]] bool TryLockFor(std::uint32_t ms) TSA_TRY_ACQUIRE(true) {
    return mutex_.try_lock_for(std::chrono::milliseconds(ms));
  }

  // BasicLockable, for std::condition_variable_any.
  void lock() TSA_ACQUIRE() { mutex_.lock(); }
  void unlock() TSA_RELEASE() { mutex_.unlock(); }

 private:
  std::timed_mutex mutex_;
};

struct AdoptLock {};
inline constexpr AdoptLock kAdoptLock{};

class TSA_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) TSA_ACQUIRE(mutex) : mutex_(mutex) {
    mutex_.Lock();
  }
  // Takes over a lock the caller already holds (after TryLockFor).
  MutexLock(Mutex& mutex, AdoptLock) TSA_REQUIRES(mutex) : mutex_(mutex) {}
  ~MutexLock() TSA_RELEASE() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace quorvel::platform
