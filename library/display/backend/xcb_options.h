// Switches and counters of the X backend, for the library's own tests and
// benchmarks. Internal; not exported from the shared library.
#pragma once

#include <cstdint>

namespace quorvel::display {

// True when the library was built with libxcb, so X windows can be bound.
bool XcbBackendBuilt();
// True when it was also built with MIT-SHM uploads.
bool XcbSharedMemoryBuilt();

// Whether bindings made from now on may upload through MIT-SHM (the
// default); off, they use plain image requests.
void SetXcbSharedMemoryAllowed(bool allowed);

// Frames uploaded to X windows so far, by way of upload.
struct XcbUploadCounts {
  std::uint64_t sharedMemory = 0;
  std::uint64_t plain = 0;
};
XcbUploadCounts ReadXcbUploadCounts();

}  // namespace quorvel::display
