#include "registry/registry.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

CameraRef Registry::RecordOf(const std::shared_ptr<CameraNode>& node) {
  return CameraRef(node, &node->record);
}

Registry::Admission Registry::Admit(std::uint32_t ipv4) {
  platform::MutexLock lock(mutex_);
  Admission admission;
  for (const auto& pending : pending_) {
    if (pending->ipv4 == ipv4) {
      admission.kind = Admission::Kind::kWaiting;
      admission.pending = pending;
      return admission;
    }
  }
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if ((*it)->record.ipAddress != ipv4) continue;
    if (!IsLost((*it)->record)) {
      admission.kind = Admission::Kind::kConnected;
      admission.handle = (*it)->record.name;
      return admission;
    }
    // A lost camera is replaced: it leaves the list now, so nothing finds
    // it while the new connect runs.
    admission.lost = RecordOf(*it);
    nodes_.erase(it);
    break;
  }
  admission.pending = std::make_shared<PendingConnect>(ipv4);
  pending_.push_back(admission.pending);
  return admission;
}

const char* Registry::AwaitResult(
    const std::shared_ptr<PendingConnect>& pending) {
  platform::MutexLock lock(mutex_);
  // Every step of the other connect is bounded, so this wait is too.
  finished_.wait(mutex_, [&]() TSA_NO_ANALYSIS { return pending->finished_; });
  return pending->result_;
}

bool Registry::Adopt(PendingConnect& pending,
                     platform::Socket CameraRecord::*field,
                     platform::Socket socket) {
  platform::MutexLock lock(mutex_);
  if (pending.cancelled_) return false;
  pending.record().*field = std::move(socket);
  return true;
}

bool Registry::Cancelled(const PendingConnect& pending) const {
  platform::MutexLock lock(mutex_);
  return pending.cancelled_;
}

bool Registry::NameInUse(const char* name) const {
  return std::any_of(nodes_.begin(), nodes_.end(), [&](const auto& node) {
    return std::strcmp(node->record.name, name) == 0;
  });
}

void Registry::Finish(PendingConnect& pending, const char* result) {
  pending.finished_ = true;
  pending.result_ = result;
  pending_.remove_if([&](const auto& entry) { return entry.get() == &pending; });
  finished_.notify_all();
}

const char* Registry::Publish(PendingConnect& pending) {
  platform::MutexLock lock(mutex_);
  if (pending.cancelled_) return nullptr;
  CameraRecord& record = pending.record();
  // After a gap the plain count + 1 may belong to a connected camera; the
  // next free number keeps every name distinct.
  auto number = static_cast<std::int64_t>(nodes_.size()) + 1;
  while (NameInUse(names_.Name(number))) ++number;
  record.name = names_.Name(number);
  nodes_.push_back(pending.node);
  Finish(pending, record.name);
  return record.name;
}

void Registry::Abandon(PendingConnect& pending) {
  platform::MutexLock lock(mutex_);
  if (!pending.finished_) Finish(pending, nullptr);
}

void Registry::CancelConnects() {
  platform::MutexLock lock(mutex_);
  for (const auto& pending : pending_) {
    pending->cancelled_ = true;
    // The sockets are only ever replaced under this lock, so reading them
    // here races nothing.
    pending->record().commandSocket.ShutdownBoth();
    pending->record().dataSocket.ShutdownBoth();
  }
}

CameraRef Registry::Find(const char* handle) const {
  if (handle == nullptr) return nullptr;
  platform::MutexLock lock(mutex_);
  for (const auto& node : nodes_) {
    if (std::strcmp(node->record.name, handle) == 0) return RecordOf(node);
  }
  return nullptr;
}

std::vector<CameraRef> Registry::FindAll(const char* handle) const {
  std::vector<CameraRef> found;
  if (handle == nullptr) return found;
  platform::MutexLock lock(mutex_);
  for (const auto& node : nodes_) {
    if (std::strcmp(node->record.name, handle) == 0) {
      found.push_back(RecordOf(node));
    }
  }
  return found;
}

bool Registry::Unlink(const CameraRecord* record) {
  platform::MutexLock lock(mutex_);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (&(*it)->record == record) {
      nodes_.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<CameraRef> Registry::Snapshot() const {
  platform::MutexLock lock(mutex_);
  std::vector<CameraRef> all;
  all.reserve(nodes_.size());
  for (const auto& node : nodes_) all.push_back(RecordOf(node));
  return all;
}

std::int32_t Registry::count() const {
  platform::MutexLock lock(mutex_);
  return static_cast<std::int32_t>(nodes_.size());
}

bool Registry::IsReceiverThread(std::thread::id thread) const {
  platform::MutexLock lock(mutex_);
  const auto runs = [&](const CameraRecord& record) {
    return record.receiverThreadId.load() == thread;
  };
  // Records still being connected have receivers too, though no callback
  // of theirs can be set before they are published.
  return std::any_of(nodes_.begin(), nodes_.end(),
                     [&](const auto& node) { return runs(node->record); }) ||
         std::any_of(pending_.begin(), pending_.end(), [&](const auto& entry) {
           return runs(entry->record());
         });
}

}  // namespace quorvel
