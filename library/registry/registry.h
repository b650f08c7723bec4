// The list of connected cameras and the lookup of a camera by handle text.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "registry/camera_record.h"

namespace quorvel {

using CameraRef = std::shared_ptr<CameraRecord>;

// A mutex guards the list, so lookups may race connects and disconnects
// from other threads; the records themselves are shared-owned.
class Registry {
 public:
  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // The first record, oldest first, whose name equals handle byte for byte
  // up to and including the NUL. Null for a null handle, an empty registry
  // or no match.
  CameraRef Find(const char* handle) const;
  // Every record whose name equals handle (the callback setters).
  std::vector<CameraRef> FindAll(const char* handle) const;
  CameraRef FindByAddress(std::uint32_t ipv4) const;

  // Names the record "RVXOSTRL1[n]" with n = count + 1, or the next higher
  // number that no linked record bears, and links it at the end. The name
  // is chosen and linked in one step so two connects never share a name.
  CameraRef Link(std::shared_ptr<CameraNode> node);
  // Removes the record's node; false when it is not linked.
  bool Unlink(const CameraRecord* record);
  // Every record in connection order.
  std::vector<CameraRef> Snapshot() const;
  // Removes every node at once.
  std::vector<CameraRef> TakeAll();

  std::int32_t count() const;
  // True when the thread is some camera's receiver thread.
  bool IsReceiverThread(std::thread::id thread) const;

 private:
  static CameraRef RecordOf(const std::shared_ptr<CameraNode>& node);
  bool NameInUse(const char* name) const;  // requires mutex_

  mutable std::mutex mutex_;
  std::list<std::shared_ptr<CameraNode>> nodes_;  // guarded by mutex_
};

}  // namespace quorvel
