#include "platform/event.h"

#include <chrono>

namespace quorvel::platform {

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  if (mode_ == Reset::kAuto) {
    changed_.notify_one();
  } else {
    changed_.notify_all();
  }
}

void Event::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [this] { return signalled_; };
  if (ms == kWaitForever) {
    changed_.wait(lock, ready);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), ready)) {
    return false;
  }
  if (mode_ == Reset::kAuto) signalled_ = false;
  return true;
}

}  // namespace quorvel::platform
