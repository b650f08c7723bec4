#include "registry/registry.h"

#include <cstdio>
#include <cstring>

namespace quorvel {

CameraRef Registry::RecordOf(const std::shared_ptr<CameraNode>& node) {
  return CameraRef(node, &node->record);
}

CameraRef Registry::Find(const char* handle) const {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& node : nodes_) {
    if (std::strcmp(node->record.name, handle) == 0) return RecordOf(node);
  }
  return nullptr;
}

std::vector<CameraRef> Registry::FindAll(const char* handle) const {
  std::vector<CameraRef> found;
  if (handle == nullptr) return found;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& node : nodes_) {
    if (std::strcmp(node->record.name, handle) == 0) {
      found.push_back(RecordOf(node));
    }
  }
  return found;
}

CameraRef Registry::FindByAddress(std::uint32_t ipv4) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& node : nodes_) {
    if (node->record.ipAddress == ipv4) return RecordOf(node);
  }
  return nullptr;
}

bool Registry::NameInUse(const char* name) const {
  for (const auto& node : nodes_) {
    if (std::strcmp(node->record.name, name) == 0) return true;
  }
  return false;
}

CameraRef Registry::Link(std::shared_ptr<CameraNode> node) {
  std::lock_guard<std::mutex> lock(mutex_);
  char* name = node->record.name;
  // After a gap the plain count + 1 may belong to a connected camera; the
  // next free number keeps every name distinct.
  for (auto number = static_cast<long long>(nodes_.size()) + 1;; ++number) {
    std::snprintf(name, kDeviceNameSize, "RVXOSTRL1[%lld]", number);
    if (!NameInUse(name)) break;
  }
  nodes_.push_back(std::move(node));
  return RecordOf(nodes_.back());
}

bool Registry::Unlink(const CameraRecord* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (&(*it)->record == record) {
      nodes_.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<CameraRef> Registry::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<CameraRef> all;
  all.reserve(nodes_.size());
  for (const auto& node : nodes_) all.push_back(RecordOf(node));
  return all;
}

std::vector<CameraRef> Registry::TakeAll() {
  std::list<std::shared_ptr<CameraNode>> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(nodes_);
  }
  std::vector<CameraRef> all;
  for (const auto& node : taken) all.push_back(RecordOf(node));
  return all;
}

std::int32_t Registry::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::int32_t>(nodes_.size());
}

bool Registry::IsReceiverThread(std::thread::id thread) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& node : nodes_) {
    if (node->record.receiverThreadId.load() == thread) return true;
  }
  return false;
}

}  // namespace quorvel
