// Presentation of the off-screen surface in the bound window.
#pragma once

#include <cstdint>

#include "display/display_objects.h"
#include "registry/camera_record.h"

namespace quorvel {

// size x zoom formed in floating point and truncated toward zero; 0 for a
// zoom that is not a positive finite number (nothing is drawn then), and
// saturated at the 32-bit limit.
std::int32_t ZoomedSize(std::int32_t size, float zoom);

// Under displayLock: draws the surface's top-left width x height pixels
// scaled by (zoomX, zoomY) at the window's top-left corner. A backing found
// lost is restored and the frame is not drawn again.
void PresentFrame(CameraRecord& record, DisplayObjects& objects,
                  std::int32_t width, std::int32_t height)
    TSA_REQUIRES(record.displayLock);

}  // namespace quorvel
