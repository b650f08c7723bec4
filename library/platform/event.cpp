#include "platform/event.h"

#include <chrono>

namespace quorvel::platform {

void Event::Set() {
  {
    MutexLock lock(mutex_);
    signalled_ = true;
  }
  if (mode_ == Reset::kAuto) {
    changed_.notify_one();
  } else {
    changed_.notify_all();
  }
}

void Event::Clear() {
  MutexLock lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(std::uint32_t ms) {
  MutexLock lock(mutex_);
  // The analysis cannot follow the wait's own unlocking and relocking.
  const auto ready = [this]() TSA_NO_ANALYSIS { return signalled_; };
  if (ms == 0) {
    // A poll: a timed wait would enter the kernel only to time out.
    if (!signalled_) return false;
  } else if (ms == kWaitForever) {
    changed_.wait(mutex_, ready);
  } else if (!changed_.wait_for(mutex_, std::chrono::milliseconds(ms), ready)) {
    return false;
  }
  if (mode_ == Reset::kAuto) signalled_ = false;
  return true;
}

}  // namespace quorvel::platform
