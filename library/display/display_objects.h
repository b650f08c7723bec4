// What binding a window to a camera makes: the window's screen (clipped to
// the window), the off-screen surface the frame is composed on, the frame
// bitmap and, from the first highlighted frame on, the mask bitmap.
#pragma once

#include <cstdint>
#include <memory>

#include "registry/display_binding.h"
#include "display/surface.h"
#include "display/backend/window_system.h"
#include "quorvel/quorvel.h"

namespace quorvel {

struct DisplayObjects {
  RvxWindow window = 0;
  std::unique_ptr<display::BoundWindow> screen;
  std::unique_ptr<display::Surface> offscreen;    // displayWidth x height
  std::unique_ptr<display::Surface> frameBitmap;  // displayWidth x height
  std::unique_ptr<display::Surface> maskBitmap;   // made when first needed
};

// Binds window and makes surfaces of width x height in its pixel form;
// null, with nothing left behind, when any of it fails.
std::unique_ptr<DisplayObjects, DisplayObjectsDeleter> MakeDisplayObjects(
    RvxWindow window, std::int32_t width, std::int32_t height);

}  // namespace quorvel
