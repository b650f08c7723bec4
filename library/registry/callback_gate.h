// The door the receiver passes to call the application, so that no callback
// starts once a disconnect has closed it, and the disconnect knows when the
// last one has returned.
#pragma once

#include <condition_variable>
#include <cstdint>

#include "platform/mutex.h"

namespace quorvel {

class CallbackGate {
 public:
  CallbackGate() = default;
  CallbackGate(const CallbackGate&) = delete;
  CallbackGate& operator=(const CallbackGate&) = delete;

  // Held for the length of one callback; false (and the callback is not
  // to run) once the gate is closed. No lock is held while it is in use.
  class Pass {
   public:
    explicit Pass(CallbackGate& gate);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    explicit operator bool() const { return entered_; }

   private:
    CallbackGate& gate_;
    bool entered_;
  };

  // No callback starts after this; waits up to ms for those running to
  // return. False when one was still running at the end of the wait.
  bool Close(std::uint32_t ms) TSA_EXCLUDES(mutex_);

 private:
  platform::Mutex mutex_;
  std::condition_variable_any idle_;
  bool closed_ TSA_GUARDED_BY(mutex_) = false;
  int running_ TSA_GUARDED_BY(mutex_) = 0;
};

}  // namespace quorvel
