#include "registry/frame_slots.h"

#include <utility>

namespace quorvel {

void FrameSlots::Publish() {
  {
    platform::MutexLock lock(slotLock);
    std::swap(fillSlot, readySlot);
    frameReady = 1;
  }
  published_.notify_one();
}

bool FrameSlots::Take() {
  platform::MutexLock lock(slotLock);
  if (frameReady == 0) return false;
  std::swap(showSlot, readySlot);
  frameReady = 0;
  return true;
}

bool FrameSlots::WaitReady() {
  platform::MutexLock lock(slotLock);
  // The analysis cannot follow the wait's own unlocking and relocking.
  published_.wait(slotLock, [this]() TSA_NO_ANALYSIS {
    return frameReady != 0 || interrupted_;
  });
  return frameReady != 0;
}

void FrameSlots::Interrupt() {
  {
    platform::MutexLock lock(slotLock);
    interrupted_ = true;
  }
  published_.notify_all();
}

}  // namespace quorvel
