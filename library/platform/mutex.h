// Mutexes the thread-safety analysis knows, and their scoped lock.
#pragma once

#include <chrono>
#include <condition_variable>
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

  // BasicLockable, for std::condition_variable_any.
  void lock() TSA_ACQUIRE() { mutex_.lock(); }
  void unlock() TSA_RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// A mutex that can also be waited for with a bound. Built on a condition
// variable rather than std::timed_mutex, whose timed lock the thread
// sanitizer's runtime does not follow.
class TSA_CAPABILITY("mutex") TimedMutex {
 public:
  TimedMutex() = default;
  TimedMutex(const TimedMutex&) = delete;
  TimedMutex& operator=(const TimedMutex&) = delete;

  void Lock() TSA_ACQUIRE() {
    std::unique_lock<std::mutex> hold(state_);
    free_.wait(hold, [this] { return !held_; });
    held_ = true;
  }
  // True when the lock was taken within ms milliseconds.
  [[nodiscard]] bool TryLockFor(std::uint32_t ms) TSA_TRY_ACQUIRE(true) {
    std::unique_lock<std::mutex> hold(state_);
    if (!free_.wait_for(hold, std::chrono::milliseconds(ms),
                        [this] { return !held_; })) {
      return false;
    }
    held_ = true;
    return true;
  }
  void Unlock() TSA_RELEASE() {
    {
      std::lock_guard<std::mutex> hold(state_);
      held_ = false;
    }
    free_.notify_one();
  }

 private:
  std::mutex state_;
  std::condition_variable free_;
  bool held_ = false;
};

struct AdoptLock {};
inline constexpr AdoptLock kAdoptLock{};

// Holds a Mutex or a TimedMutex for its scope.
template <typename Lockable>
class TSA_SCOPED_CAPABILITY BasicLock {
 public:
  explicit BasicLock(Lockable& mutex) TSA_ACQUIRE(mutex) : mutex_(mutex) {
    mutex_.Lock();
  }
  // Takes over a lock the caller already holds (after TryLockFor).
  BasicLock(Lockable& mutex, AdoptLock) TSA_REQUIRES(mutex) : mutex_(mutex) {}
  ~BasicLock() TSA_RELEASE() { mutex_.Unlock(); }
  BasicLock(const BasicLock&) = delete;
  BasicLock& operator=(const BasicLock&) = delete;

 private:
  Lockable& mutex_;
};

using MutexLock = BasicLock<Mutex>;
using TimedLock = BasicLock<TimedMutex>;

}  // namespace quorvel::platform
