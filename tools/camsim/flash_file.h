// Keeps the simulated camera's flash in a file, so what a client wrote
// survives a restart of the program the way a real camera's flash does.
#pragma once

#include <string>

#include "camera_model.h"

namespace camsim {

enum class FlashLoad { kLoaded, kMissing, kInvalid };

// Reads an image written by SaveFlashFile. A file that does not exist is
// kMissing (the camera starts from its factory contents); one that is not
// a complete image is kInvalid and nothing is loaded.
FlashLoad LoadFlashFile(const std::string& path, FlashImage* image);

// Writes the image beside path and renames it into place, so a crash while
// saving leaves the previous image whole.
bool SaveFlashFile(const std::string& path, const FlashImage& image);

// Whether SaveFlashFile can write beside path now: creates and removes the
// temporary it would write. On false, errno says why.
bool CanSaveFlashFile(const std::string& path);

}  // namespace camsim
