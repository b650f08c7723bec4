// The counters behind ReadXcbUploadCounts.
#pragma once

namespace quorvel::display {

void CountUpload(bool sharedMemory);

}  // namespace quorvel::display
