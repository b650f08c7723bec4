#include "wire.h"

#include "items.h"

namespace camsim::wire {

int ReplyValueSize(std::int32_t code) {
  switch (code) {
    case item::kQuery34:
    case item::kQuery36:
    case item::kInternalSps:
    case item::kStatus:
      return 2;
    case item::kCameraMotion:
    case item::kAlarmOutput:
    case item::kMode:
    case item::kParameterA:
    case item::kParameterB:
    case item::kMaskStream:
    case item::kParameterC:
      return 4;
    default:
      return 0;
  }
}

}  // namespace camsim::wire
