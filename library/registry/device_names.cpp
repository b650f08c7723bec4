#include "registry/device_names.h"

#include <cstdio>

namespace quorvel {

const char* DeviceNames::Name(std::int64_t number) {
  while (static_cast<std::int64_t>(names_.size()) < number) {
    names_.emplace_back();
    std::snprintf(names_.back().data(), kDeviceNameSize, "RVXOSTRL1[%lld]",
                  static_cast<long long>(names_.size()));
  }
  return names_[static_cast<std::size_t>(number - 1)].data();
}

}  // namespace quorvel
