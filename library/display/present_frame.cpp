#include "display/present_frame.h"

#include <cmath>
#include <limits>

namespace quorvel {

std::int32_t ZoomedSize(std::int32_t size, float zoom) {
  if (!std::isfinite(zoom) || !(zoom > 0.0f)) return 0;
  const float product = static_cast<float>(size) * zoom;
  // 2^31 is the first float above the int32 range.
  if (!(product < 2147483648.0f))
    return std::numeric_limits<std::int32_t>::max();
  if (product <= 0.0f) return 0;
  return static_cast<std::int32_t>(product);
}

void PresentFrame(CameraRecord& record, DisplayObjects& objects,
                  std::int32_t width, std::int32_t height) {
  // Each zoom is read once, so a frame never mixes two values.
  const display::PresentRequest request{
      width, height, ZoomedSize(width, record.zoomX.load()),
      ZoomedSize(height, record.zoomY.load())};
  if (record.displayWindow.load() == 0) return;
  if (request.destWidth < 1 || request.destHeight < 1) return;
  if (objects.screen->Present(*objects.offscreen, request) ==
      display::PresentResult::kLost) {
    (void)objects.screen->Restore();
  }
}

}  // namespace quorvel
