// Binding an application window to a camera's display objects.
#pragma once

#include "quorvel/quorvel.h"
#include "registry/camera_record.h"

namespace quorvel {

// Releases any earlier binding, then binds window; true when bound, in
// which case displayWindow is window. On failure displayWindow keeps its
// value and nothing of the attempt stays.
bool SetUpDirectDraw(CameraRecord& record, RvxWindow window)
    TSA_EXCLUDES(record.displayLock);
// Ends the binding's display objects; displayWindow is left as it is.
void ReleaseDirectDraw(CameraRecord& record) TSA_EXCLUDES(record.displayLock);

}  // namespace quorvel
