// The list of connected cameras, the connects still in progress, and the
// lookup of a camera by handle text.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <thread>
#include <vector>

#include "platform/mutex.h"
#include "platform/socket.h"
#include "registry/camera_record.h"
#include "registry/device_names.h"

namespace quorvel {

using CameraRef = std::shared_ptr<CameraRecord>;

// A connect in progress. The registry knows it from the connect's first
// step, so a second connect to the same address waits for it and a
// disconnect-all can cancel it, but no lookup finds its record before it
// is published.
class PendingConnect {
 public:
  explicit PendingConnect(std::uint32_t address) : ipv4(address) {}
  const std::uint32_t ipv4;
  // The record being set up, unseen by lookups until it is published.
  const std::shared_ptr<CameraNode> node = std::make_shared<CameraNode>();
  CameraRecord& record() const { return node->record; }

 private:
  friend class Registry;
  // Guarded by the registry's mutex.
  bool cancelled_ = false;
  bool finished_ = false;
  const char* result_ = nullptr;
};

// A mutex guards the list, so lookups may race connects and disconnects
// from other threads; the records themselves are shared-owned.
class Registry {
 public:
  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // What a connect to an address has to do.
  struct Admission {
    enum class Kind {
      kConnected,  // the address is connected: handle is its camera
      kWaiting,    // another connect to it runs: wait for its result
      kProceed,    // connect; pending is this connect's entry
    };
    Kind kind = Kind::kProceed;
    const char* handle = nullptr;
    std::shared_ptr<PendingConnect> pending;
    // kProceed: a lost camera at the address, already unlinked, that the
    // connect tears down before it connects afresh.
    CameraRef lost;
  };
  Admission Admit(std::uint32_t ipv4) TSA_EXCLUDES(mutex_);
  // Blocks until the connect behind pending has finished; its handle, or
  // null when it failed or was cancelled.
  const char* AwaitResult(const std::shared_ptr<PendingConnect>& pending)
      TSA_EXCLUDES(mutex_);

  // Moves socket into the pending record's field; false, with the socket
  // closed, when the connect has been cancelled.
  bool Adopt(PendingConnect& pending, platform::Socket CameraRecord::*field,
             platform::Socket socket) TSA_EXCLUDES(mutex_);
  bool Cancelled(const PendingConnect& pending) const TSA_EXCLUDES(mutex_);
  // Names the record "RVXOSTRL1[n]" with n = count + 1, or the next higher
  // number that no linked record bears, and links it at the end, in one
  // step with the cancellation check. Null when the connect was cancelled.
  const char* Publish(PendingConnect& pending) TSA_EXCLUDES(mutex_);
  // Ends a connect that failed or was cancelled; its waiters get null.
  void Abandon(PendingConnect& pending) TSA_EXCLUDES(mutex_);
  // Cancels every connect in progress and shuts its sockets down, so a
  // connect waiting for a camera's answer fails at once.
  void CancelConnects() TSA_EXCLUDES(mutex_);

  // The first record, oldest first, whose name equals handle byte for byte
  // up to and including the NUL. Null for a null handle, an empty registry
  // or no match.
  CameraRef Find(const char* handle) const TSA_EXCLUDES(mutex_);
  // Every record whose name equals handle (the callback setters).
  std::vector<CameraRef> FindAll(const char* handle) const
      TSA_EXCLUDES(mutex_);
  // Removes the record's node; false when it is not linked.
  bool Unlink(const CameraRecord* record) TSA_EXCLUDES(mutex_);
  // Every record in connection order.
  std::vector<CameraRef> Snapshot() const TSA_EXCLUDES(mutex_);

  std::int32_t count() const TSA_EXCLUDES(mutex_);
  // True when the thread is some camera's receiver thread.
  bool IsReceiverThread(std::thread::id thread) const TSA_EXCLUDES(mutex_);

 private:
  static CameraRef RecordOf(const std::shared_ptr<CameraNode>& node);
  bool NameInUse(const char* name) const TSA_REQUIRES(mutex_);
  void Finish(PendingConnect& pending, const char* result)
      TSA_REQUIRES(mutex_);

  mutable platform::Mutex mutex_;
  std::condition_variable_any finished_;
  std::list<std::shared_ptr<CameraNode>> nodes_ TSA_GUARDED_BY(mutex_);
  std::list<std::shared_ptr<PendingConnect>> pending_ TSA_GUARDED_BY(mutex_);
  DeviceNames names_ TSA_GUARDED_BY(mutex_);
};

}  // namespace quorvel
