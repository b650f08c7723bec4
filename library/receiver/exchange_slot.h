// Handing frames between the receiver and the display without copying.
#pragma once

#include "registry/camera_record.h"

namespace quorvel {

enum class SlotExchange { kPublish = 1, kTake = 2 };

// Under slotLock. Publish: *slot and readySlot change places and a frame is
// ready. Take: when a frame is ready, *slot and readySlot change places and
// it is no longer ready; false when none was. slot is the address of
// fillSlot (receiver) or showSlot (display).
bool ExchangeSlot(CameraRecord& record, FrameSlot** slot, SlotExchange mode);

// Counts a received frame and refreshes the received rate on the first
// frame more than 800 ms after the last refresh.
void CountReceivedFrame(CameraRecord& record);

// The rate step shared by the received and the displayed rate.
void CountFrame(std::int32_t& frameCount, std::int32_t& countMark,
                std::uint32_t& tickMark, float& fps, std::uint32_t now);

}  // namespace quorvel
