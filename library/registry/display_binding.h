// The record names the display objects of a bound window without knowing
// them; the display room defines them and their deleter.
#pragma once

namespace quorvel {

struct DisplayObjects;

struct DisplayObjectsDeleter {
  void operator()(DisplayObjects* objects) const noexcept;
};

}  // namespace quorvel
