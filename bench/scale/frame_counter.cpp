#include "scale/frame_counter.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace scale {

using namespace quorvel::receiver;

void FrameCounter::Feed(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    if (bodyLeft_ > 0) {
      const std::size_t skip = static_cast<std::size_t>(
          std::min<std::int64_t>(bodyLeft_, static_cast<std::int64_t>(count)));
      bytes += skip;
      count -= skip;
      bodyLeft_ -= static_cast<std::int64_t>(skip);
      if (bodyLeft_ == 0) EndPacket();
      continue;
    }
    const std::size_t take = std::min(sizeof header_ - headerFill_, count);
    std::copy(bytes, bytes + take, header_ + headerFill_);
    headerFill_ += take;
    bytes += take;
    count -= take;
    if (headerFill_ < sizeof header_) continue;
    headerFill_ = 0;
    type_ = quorvel::platform::LoadLE32Signed(header_);
    const std::int32_t length = quorvel::platform::LoadLE32Signed(header_ + 4);
    const bool data = type_ == kImageDataPacket || type_ == kMaskDataPacket;
    bodyLeft_ = length > 0 ? length : (data ? frameBytes_ : 0);
    if (bodyLeft_ == 0) EndPacket();
  }
}

void FrameCounter::EndPacket() {
  switch (type_) {
    case kFrameHeaderPacket:
      frameOpen_ = true;
      break;
    case kImageDataPacket:
    case kMaskDataPacket:
      if (frameOpen_) ++frames_;
      frameOpen_ = false;
      break;
    case kCommandDonePacket:
      ++completions_;
      break;
    default:
      break;
  }
}

}  // namespace scale
