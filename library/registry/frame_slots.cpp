#include "registry/frame_slots.h"

#include <utility>

namespace quorvel {

void FrameSlots::Publish() {
  platform::MutexLock lock(slotLock);
  std::swap(fillSlot, readySlot);
  frameReady = 1;
}

bool FrameSlots::Take() {
  platform::MutexLock lock(slotLock);
  if (frameReady == 0) return false;
  std::swap(showSlot, readySlot);
  frameReady = 0;
  return true;
}

}  // namespace quorvel
