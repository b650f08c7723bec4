// Composition of the frame bitmap, with its highlight, on the off-screen
// surface.
#pragma once

#include <cstdint>

#include "display/display_objects.h"
#include "registry/camera_record.h"

namespace quorvel {

// Under displayLock, with width x height within the surfaces: loads bits
// (width x height packed pixels, rows back to back) into the frame bitmap,
// highlights the selected objects there, copies the bitmap onto the
// off-screen surface and scrolls the surface by (-scrollX, -scrollY).
void ComposeFrame(CameraRecord& record, DisplayObjects& objects,
                  const std::uint8_t* bits, std::int32_t width,
                  std::int32_t height) TSA_REQUIRES(record.displayLock);

}  // namespace quorvel
