#include "imaging/pixel_isa.h"

#include "platform/cpu_features.h"

namespace quorvel::imaging {

bool PixelIsaAvailable(PixelIsa isa) {
  switch (isa) {
    case PixelIsa::kScalar:
      return true;
    case PixelIsa::kSse2:
#if defined(__SSE2__)
      return true;
#else
      return false;
#endif
    case PixelIsa::kAvx2:
#if defined(QUORVEL_IMAGING_AVX2)
      return platform::CpuHasAvx2();
#else
      return false;
#endif
  }
  return false;
}

PixelIsa BestPixelIsa() {
  if (PixelIsaAvailable(PixelIsa::kAvx2)) {
    return PixelIsa::kAvx2;
  }
  if (PixelIsaAvailable(PixelIsa::kSse2)) {
    return PixelIsa::kSse2;
  }
  return PixelIsa::kScalar;
}

}  // namespace quorvel::imaging
