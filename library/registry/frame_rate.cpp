#include "registry/frame_rate.h"

#include <algorithm>

namespace quorvel {

void CountFrame(std::int32_t& frameCount, std::int32_t& countMark,
                std::uint32_t& tickMark, float& fps, std::uint32_t now) {
  ++frameCount;
  const std::uint32_t elapsed = now - tickMark;
  if (elapsed > FrameRate::kWindowMs) {
    fps = static_cast<float>(static_cast<double>(frameCount - countMark) /
                             elapsed * 1000.0);
    countMark = frameCount;
    tickMark = now;
  }
}

void FrameRate::Count(std::uint32_t now) {
  platform::MutexLock hold(lock);
  CountFrame(frameCount, countMark, tickMark, fps, now);
  lastFrameTick = now;
}

void FrameRate::Reset(std::uint32_t now) {
  platform::MutexLock hold(lock);
  frameCount = 0;
  countMark = 0;
  tickMark = now;
  // A fresh stream has had no gap yet.
  lastFrameTick = now;
}

float FrameRate::Read(std::uint32_t now, bool stopped) {
  platform::MutexLock hold(lock);
  if (stopped) fps = 0.0f;
  const std::uint32_t gap = now - lastFrameTick;
  if (gap <= kWindowMs) return fps;
  return std::min(fps, static_cast<float>(1000.0 / gap));
}

std::int32_t FrameRate::frames() {
  platform::MutexLock hold(lock);
  return frameCount;
}

}  // namespace quorvel
