// Kernel-style events: signalled state with a timed wait.
#pragma once

#include <condition_variable>
#include <cstdint>

#include "platform/clock.h"
#include "platform/mutex.h"

namespace quorvel::platform {

class Event {
 public:
  enum class Reset { kAuto, kManual };
  explicit Event(Reset mode) : mode_(mode) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set() TSA_EXCLUDES(mutex_);
  void Clear() TSA_EXCLUDES(mutex_);
  // True when signalled within ms milliseconds; an auto-reset event is
  // consumed by the wait that sees it.
  [[nodiscard]] bool Wait(std::uint32_t ms) TSA_EXCLUDES(mutex_);

 private:
  const Reset mode_;
  Mutex mutex_;
  std::condition_variable_any changed_;
  bool signalled_ TSA_GUARDED_BY(mutex_) = false;
};

}  // namespace quorvel::platform
