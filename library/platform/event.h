// Kernel-style events: signalled state with a timed wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace quorvel::platform {

class Event {
 public:
  enum class Reset { kAuto, kManual };
  explicit Event(Reset mode) : mode_(mode) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Clear();
  // True when signalled within ms milliseconds; an auto-reset event is
  // consumed by the wait that sees it.
  [[nodiscard]] bool Wait(std::uint32_t ms);

 private:
  const Reset mode_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace quorvel::platform
