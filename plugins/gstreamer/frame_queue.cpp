#include "frame_queue.h"

#include <utility>

namespace quorvel::gst {

FrameQueue::FrameQueue(std::size_t frameCapacity, std::size_t messageCapacity)
    : frameCapacity_(frameCapacity < 1 ? 1 : frameCapacity),
      messageCapacity_(messageCapacity < 1 ? 1 : messageCapacity) {}

void FrameQueue::PushFrame(BufferPtr buffer, SteadyClock::time_point arrival) {
  QueuedFrame discarded;  // freed after the lock is released
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (frames_.size() >= frameCapacity_) {
      discarded = std::move(frames_.front());
      frames_.pop_front();
      ++dropped_;
    }
    frames_.push_back({std::move(buffer), arrival, delivered_++});
  }
  ready_.notify_one();
}

void FrameQueue::PushMessage(StructurePtr body,
                             SteadyClock::time_point arrival) {
  QueuedMessage discarded;
  {
    std::lock_guard<std::mutex> hold(lock_);
    // Messages are only late when frames are too; an old object report is
    // worth less than a new one, as with frames.
    if (messages_.size() >= messageCapacity_) {
      discarded = std::move(messages_.front());
      messages_.pop_front();
    }
    messages_.push_back({std::move(body), arrival});
  }
  ready_.notify_one();
}

FrameQueue::Wake FrameQueue::Wait(SteadyClock::time_point deadline,
                                  QueuedFrame* frame,
                                  std::vector<QueuedMessage>* messages) {
  std::unique_lock<std::mutex> hold(lock_);
  ready_.wait_until(hold, deadline, [this] {
    return flushing_ || !frames_.empty() || !messages_.empty() ||
           lostReason_ != 0;
  });
  const bool gotMessages = !messages_.empty();
  for (QueuedMessage& message : messages_) {
    messages->push_back(std::move(message));
  }
  messages_.clear();
  if (flushing_) return Wake::kFlushing;
  if (!frames_.empty()) {
    *frame = std::move(frames_.front());
    frames_.pop_front();
    return Wake::kFrame;
  }
  if (gotMessages) return Wake::kMessages;
  return lostReason_ != 0 ? Wake::kLost : Wake::kTimedOut;
}

void FrameQueue::Fail(std::int32_t reason) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    lostReason_ = reason;
  }
  ready_.notify_all();
}

std::int32_t FrameQueue::lostReason() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lostReason_;
}

void FrameQueue::SetFlushing(bool flushing) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    flushing_ = flushing;
  }
  ready_.notify_all();
}

std::uint64_t FrameQueue::dropped() const {
  std::lock_guard<std::mutex> hold(lock_);
  return dropped_;
}

}  // namespace quorvel::gst
