// The per-camera thread that shows the newest frame.
#pragma once

#include "registry/registry.h"

namespace quorvel {

// Takes each newest frame until the record's threadEvent is signalled.
void DisplayThreadProc(CameraRef record);

}  // namespace quorvel
