// Built when libxcb is not found: no X window can be bound, so frames for
// an X window are taken and counted but not drawn.
#include "display/backend/window_system.h"
#include "display/backend/xcb_options.h"

namespace quorvel::display {

bool XcbBackendBuilt() { return false; }

bool XcbSharedMemoryBuilt() { return false; }

void SetXcbSharedMemoryAllowed(bool) {}

XcbUploadCounts ReadXcbUploadCounts() { return {}; }

std::unique_ptr<BoundWindow> BindXcbWindow(RvxWindow) { return nullptr; }

}  // namespace quorvel::display
