// The three frame slots that rotate between the receiver and the display,
// and the exchange of their pointers.
#pragma once

#include <condition_variable>
#include <cstdint>

#include "platform/mutex.h"
#include "registry/frame_slot.h"

namespace quorvel {

class FrameSlots {
 public:
  FrameSlots() = default;
  FrameSlots(const FrameSlots&) = delete;
  FrameSlots& operator=(const FrameSlots&) = delete;

  // Publish: the filled slot becomes the ready one, and the previous ready
  // slot (a frame the display never took) becomes the next fill slot.
  void Publish() TSA_EXCLUDES(slotLock);
  // Take: when a frame is ready, the shown slot and the ready slot change
  // places; false when none was.
  [[nodiscard]] bool Take() TSA_EXCLUDES(slotLock);
  // The display side sleeps here until a frame is ready to take, or until
  // Interrupt, without taking it. True when a frame is ready.
  bool WaitReady() TSA_EXCLUDES(slotLock);
  // Ends every wait of WaitReady, now and from now on.
  void Interrupt() TSA_EXCLUDES(slotLock);

  FrameSlot slotA, slotB, slotC;
  // Written only by the receiver thread.
  FrameSlot* fillSlot = &slotA;
  // Owned by the display side; changed only under the record's displayLock.
  FrameSlot* showSlot = &slotC;

  platform::Mutex slotLock;
  FrameSlot* readySlot TSA_GUARDED_BY(slotLock) = &slotB;
  std::int32_t frameReady TSA_GUARDED_BY(slotLock) = 0;

 private:
  std::condition_variable_any published_;
  bool interrupted_ TSA_GUARDED_BY(slotLock) = false;
};

}  // namespace quorvel
