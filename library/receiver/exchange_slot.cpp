#include "receiver/exchange_slot.h"

#include <utility>

#include "platform/clock.h"

namespace quorvel {

namespace {
constexpr std::uint32_t kRateWindowMs = 800;
}  // namespace

bool ExchangeSlot(CameraRecord& record, FrameSlot** slot, SlotExchange mode) {
  std::lock_guard<std::mutex> lock(record.slotLock);
  switch (mode) {
    case SlotExchange::kPublish:
      std::swap(*slot, record.readySlot);
      record.frameReady = 1;
      return true;
    case SlotExchange::kTake:
      if (record.frameReady == 0) return false;
      std::swap(*slot, record.readySlot);
      record.frameReady = 0;
      return true;
  }
  return false;
}

void CountFrame(std::int32_t& frameCount, std::int32_t& countMark,
                std::uint32_t& tickMark, float& fps, std::uint32_t now) {
  ++frameCount;
  const std::uint32_t elapsed = now - tickMark;
  if (elapsed > kRateWindowMs) {
    fps = static_cast<float>(static_cast<double>(frameCount - countMark) /
                             elapsed * 1000.0);
    countMark = frameCount;
    tickMark = now;
  }
}

void CountReceivedFrame(CameraRecord& record) {
  std::lock_guard<std::mutex> lock(record.rxFpsLock);
  CountFrame(record.rxFrameCount, record.rxCountMark, record.rxTickMark,
             record.rxFps, platform::TickCount());
}

}  // namespace quorvel
