/* The public header compiled as C11, linked to the shared library. */
#include <stddef.h>
#include <stdio.h>

#include "quorvel/quorvel.h"

_Static_assert(sizeof(ObjectReport) == 40, "ObjectReport is 40 bytes");
_Static_assert(offsetof(ObjectReport, label) == 0, "label at 0");
_Static_assert(offsetof(ObjectReport, pixelCount) == 4, "pixelCount at 4");
_Static_assert(offsetof(ObjectReport, meanX) == 8, "meanX at 8");
_Static_assert(offsetof(ObjectReport, meanY) == 16, "meanY at 16");
_Static_assert(offsetof(ObjectReport, minX) == 24, "minX at 24");
_Static_assert(offsetof(ObjectReport, minY) == 28, "minY at 28");
_Static_assert(offsetof(ObjectReport, maxX) == 32, "maxX at 32");
_Static_assert(offsetof(ObjectReport, maxY) == 36, "maxY at 36");
_Static_assert(sizeof(RvxWindow) == sizeof(void *), "window handle is pointer-sized");

int main(void) {
  int32_t value = 5;
  double fps = 3.0;
  int failures = 0;
  /* No camera is connected: every call that needs one fails and writes
   * nothing. */
  failures += rvx_GetSmartMotion("RVXOSTRL1[1]", RVX_ITEM_MIN_OBJECT_SIZE, &value) != 0;
  failures += rvx_GetFPS("RVXOSTRL1[1]", RVX_FPS_RECEIVED, &fps) != 0;
  failures += rvx_GetMiscOption(NULL, RVX_OPTION_STEP_X, &value) != 0;
  failures += value != 5 || fps != 3.0;
  rvx_DisconnectAllCameras();
  rvx_DisconnectCamera(NULL);
  if (failures != 0) fprintf(stderr, "%d unexpected results\n", failures);
  return failures == 0 ? 0 : 1;
}
