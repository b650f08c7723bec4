#include "platform/worker_thread.h"

#include <system_error>

namespace quorvel::platform {

std::unique_ptr<WorkerThread> WorkerThread::Start(std::function<void()> body) {
  auto worker = std::make_unique<WorkerThread>(Private{});
  worker->finished_ = std::make_shared<Finished>();
  try {
    worker->thread_ =
        std::thread([finished = worker->finished_, body = std::move(body)]() mutable {
          body();
          // What the body holds is let go before the end is signalled: a
          // caller that only waits for the signal (and never joins) may
          // unload the code that would let it go.
          body = nullptr;
          finished->event.Set();
        });
  } catch (const std::system_error&) {
    return nullptr;
  }
  worker->id_ = worker->thread_.get_id();
  return worker;
}

WorkerThread::~WorkerThread() { Stop(kWaitForever); }

bool WorkerThread::Stop(std::uint32_t ms) {
  if (!thread_.joinable()) return true;
  if (finished_->event.Wait(ms)) {
    thread_.join();
    return true;
  }
  thread_.detach();
  return false;
}

bool WorkerThread::Release(std::uint32_t ms) {
  if (!thread_.joinable()) return true;
  const bool returned = finished_->event.Wait(ms);
  thread_.detach();
  return returned;
}

}  // namespace quorvel::platform
