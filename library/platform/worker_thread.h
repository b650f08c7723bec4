// A worker thread that can be stopped with a bounded wait.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/event.h"

namespace quorvel::platform {

class WorkerThread {
 public:
  // Runs body on a new thread; null when the system refuses a thread.
  static std::unique_ptr<WorkerThread> Start(std::function<void()> body);

  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Waits up to ms for the body to return and joins it. A thread still
  // running after that is detached: whatever it uses must be kept alive by
  // the body itself. True when the thread ended in time.
  bool Stop(std::uint32_t ms);
  // Waits up to ms for the body to return and lets the thread go without
  // joining it, for callers that must not wait on a thread's exit (a DLL's
  // detach notification, where the exit waits for the caller). True when
  // the body returned in time.
  bool Release(std::uint32_t ms);
  std::thread::id id() const { return id_; }

 private:
  struct Finished {
    Event event{Event::Reset::kManual};
  };
  struct Private {};

 public:
  explicit WorkerThread(Private) {}

 private:
  std::shared_ptr<Finished> finished_;
  std::thread thread_;
  std::thread::id id_;
};

}  // namespace quorvel::platform
