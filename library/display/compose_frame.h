// Composition of the frame bitmap, with its highlight, on the off-screen
// surface.
#pragma once

#include <cstdint>

#include "display/display_objects.h"
#include "registry/camera_record.h"

namespace quorvel {

// Under displayLock, with width x height within the surfaces: highlights
// the selected objects in the frame bitmap, copies it onto the off-screen
// surface and scrolls the surface by (-scrollX, -scrollY).
void ComposeFrame(CameraRecord& record, DisplayObjects& objects,
                  std::int32_t width, std::int32_t height);

}  // namespace quorvel
