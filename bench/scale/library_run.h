// The library against camsims in processes of their own, in the three
// kinds of stream the scale table compares.
#pragma once

#include "scale/figures.h"
#include "scale/run_config.h"

namespace scale {

enum class StreamKind {
  kPictures,  // no display: a counting stream callback, no window
  kDisplay,   // pictures drawn into a memory window per camera
  kMasks,     // motion masks, object detection on, drawn into windows
};

// The kind's label in the table: "a pictures", "b display", "c masks".
const char* KindLabel(StreamKind kind);

Figures RunLibrary(const RunConfig& config, int cameras, StreamKind kind);

}  // namespace scale
