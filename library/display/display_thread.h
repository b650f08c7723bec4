// The per-camera thread that shows the newest frame.
#pragma once

#include "registry/registry.h"

namespace quorvel {

// Takes each newest frame until the record's threadEvent is signalled.
void DisplayThreadProc(CameraRef record);

// One step of the thread: takes the newest frame, if there is one, and
// converts and draws it when a window is set and still exists. True when
// the frame is to be counted in the display rate.
bool ShowNewestFrame(CameraRecord& record) TSA_EXCLUDES(record.displayLock);

}  // namespace quorvel
