// The hand-over between the camera's receiver thread and the element's
// streaming thread. The receiver side never waits for the reader: a full
// queue gives up its oldest frame and counts it, so a slow pipeline costs
// frames, never reception.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel::gst {

using SteadyClock = std::chrono::steady_clock;

struct BufferUnref {
  void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
using BufferPtr = std::unique_ptr<GstBuffer, BufferUnref>;

struct StructureFree {
  void operator()(GstStructure* s) const { gst_structure_free(s); }
};
using StructurePtr = std::unique_ptr<GstStructure, StructureFree>;

struct QueuedFrame {
  BufferPtr buffer;
  SteadyClock::time_point arrival;
  // Counts every frame the camera delivered, dropped ones included, so the
  // reader sees gaps.
  std::uint64_t sequence = 0;
};

struct QueuedMessage {
  StructurePtr body;
  SteadyClock::time_point arrival;
};

class FrameQueue {
 public:
  FrameQueue(std::size_t frameCapacity, std::size_t messageCapacity);
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;

  // Receiver side: hold the lock only to move a pointer.
  void PushFrame(BufferPtr buffer, SteadyClock::time_point arrival);
  void PushMessage(StructurePtr body, SteadyClock::time_point arrival);

  // Receiver side: the camera is lost; once the frames queued before are
  // taken, Wait reports it.
  void Fail(std::int32_t reason);
  std::int32_t lostReason() const;

  enum class Wake { kFrame, kMessages, kFlushing, kTimedOut, kLost };
  // Streaming side: waits until a frame or a message is queued, flushing is
  // switched on, the camera is lost, or `deadline` passes. Every queued message is moved into
  // `messages` whatever the result; `frame` is written for kFrame only.
  Wake Wait(SteadyClock::time_point deadline, QueuedFrame* frame,
            std::vector<QueuedMessage>* messages);

  // While flushing, Wait returns at once; unlock() and stop() use this.
  void SetFlushing(bool flushing);
  std::uint64_t dropped() const;

 private:
  const std::size_t frameCapacity_;
  const std::size_t messageCapacity_;
  mutable std::mutex lock_;
  std::condition_variable ready_;
  std::deque<QueuedFrame> frames_;
  std::deque<QueuedMessage> messages_;
  std::uint64_t delivered_ = 0;
  std::uint64_t dropped_ = 0;
  bool flushing_ = false;
  std::int32_t lostReason_ = 0;
};

}  // namespace quorvel::gst
