#include "registry/callback_gate.h"

#include <chrono>

namespace quorvel {

CallbackGate::Pass::Pass(CallbackGate& gate) : gate_(gate) {
  platform::MutexLock lock(gate_.mutex_);
  entered_ = !gate_.closed_;
  if (entered_) ++gate_.running_;
}

CallbackGate::Pass::~Pass() {
  if (!entered_) return;
  platform::MutexLock lock(gate_.mutex_);
  if (--gate_.running_ == 0) gate_.idle_.notify_all();
}

bool CallbackGate::Close(std::uint32_t ms) {
  platform::MutexLock lock(mutex_);
  closed_ = true;
  // The analysis cannot follow the wait's own unlocking and relocking.
  return idle_.wait_for(mutex_, std::chrono::milliseconds(ms),
                        [this]() TSA_NO_ANALYSIS { return running_ == 0; });
}

}  // namespace quorvel
