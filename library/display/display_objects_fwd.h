// The camera record names its display objects without knowing them.
#pragma once

namespace quorvel {

struct DisplayObjects;

// Out of line, so the record's owner can be destroyed where the display
// objects are not known.
struct DisplayObjectsDeleter {
  void operator()(DisplayObjects* objects) const noexcept;
};

}  // namespace quorvel
