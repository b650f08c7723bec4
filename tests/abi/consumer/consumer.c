/* A tiny application built against an installed copy of the library. */
#include <stdio.h>

#include <quorvel/quorvel.h>

int main(void) {
  int32_t value = 0;
  rvx_DisconnectAllCameras();
  if (rvx_GetSmartMotion(NULL, RVX_ITEM_MIN_OBJECT_SIZE, &value) != 0) return 1;
  puts("consumer ok");
  return 0;
}
