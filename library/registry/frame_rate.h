// One frame-rate measurement: the received rate and the displayed rate of a
// camera are each one of these.
#pragma once

#include <cstdint>

#include "platform/mutex.h"

namespace quorvel {

class FrameRate {
 public:
  // The window after which the rate is refreshed by the next frame.
  static constexpr std::uint32_t kWindowMs = 800;

  FrameRate() = default;
  FrameRate(const FrameRate&) = delete;
  FrameRate& operator=(const FrameRate&) = delete;

  // Counts a frame; the first frame more than kWindowMs after the last
  // refresh sets the rate to the frames since then over the time since then.
  void Count(std::uint32_t now) TSA_EXCLUDES(lock);
  // A new stream: counters cleared, the window starts now.
  void Reset(std::uint32_t now) TSA_EXCLUDES(lock);
  // The rate for a caller. A stopped stream reads 0 and clears the stored
  // rate. Frames that stop arriving lower it: after a gap of g > kWindowMs
  // since the last frame no more than one frame in g can be arriving, so
  // the rate read is at most 1000 / g, and it falls towards 0 without
  // waiting for a frame to refresh it.
  float Read(std::uint32_t now, bool stopped) TSA_EXCLUDES(lock);

  // Frames counted since the last reset.
  std::int32_t frames() TSA_EXCLUDES(lock);

  platform::Mutex lock;
  std::int32_t frameCount TSA_GUARDED_BY(lock) = 0;
  std::int32_t countMark TSA_GUARDED_BY(lock) = 0;
  std::uint32_t tickMark TSA_GUARDED_BY(lock) = 0;
  float fps TSA_GUARDED_BY(lock) = 0.0f;
  // When the newest frame was counted.
  std::uint32_t lastFrameTick TSA_GUARDED_BY(lock) = 0;
};

// The refresh step on bare counters.
void CountFrame(std::int32_t& frameCount, std::int32_t& countMark,
                std::uint32_t& tickMark, float& fps, std::uint32_t now);

}  // namespace quorvel
