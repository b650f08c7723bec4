// Drawing the display buffer into the bound window.
#pragma once

#include <cstdint>

#include "registry/camera_record.h"

namespace quorvel {

// Whether displayWindow is set and still a window. Under displayLock.
bool DisplayWindowExists(CameraRecord& record)
    TSA_REQUIRES(record.displayLock);

// Loads the display buffer's width x height pixels (the decimated size)
// into the frame bitmap, composes and presents it. Nothing happens without
// a window that still exists, without display objects, or for a width
// below 4 or a height below 1.
void DrawFrame(CameraRecord& record, std::int32_t width, std::int32_t height)
    TSA_REQUIRES(record.displayLock);

// Option 22: draws the shown frame again from the display buffer, when a
// window is set.
void RedrawShownFrame(CameraRecord& record) TSA_EXCLUDES(record.displayLock);

}  // namespace quorvel
