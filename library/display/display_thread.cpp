#include "display/display_thread.h"

#include "platform/thread.h"
#include "receiver/exchange_slot.h"

namespace quorvel {

namespace {
constexpr std::uint32_t kPollMs = 1;
}  // namespace

void DisplayThreadProc(CameraRef record) {
  platform::RaiseCurrentThreadPriority(platform::ThreadPriority::kAboveNormal);
  while (!record->threadEvent.Wait(kPollMs)) {
    if (!ExchangeSlot(*record, &record->showSlot, SlotExchange::kTake)) {
      continue;
    }
    // No window can be bound yet, so a taken frame is dropped like one for
    // a window that went away: neither drawn nor counted.
  }
}

}  // namespace quorvel
