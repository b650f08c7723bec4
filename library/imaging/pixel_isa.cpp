#include "imaging/pixel_isa.h"

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
      // Reads a word the runtime filled in at start-up (including the
      // operating system's consent to the 256-bit registers): cheap enough
      // to ask on every frame, and no lazily initialised state to guard.
      return __builtin_cpu_supports("avx2") != 0;
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
