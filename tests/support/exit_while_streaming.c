/* Connects to the camera at argv[1], streams until a frame has arrived and
 * then ends the process, leaving the library's unload to disconnect the
 * streaming camera. Prints "streaming" once frames flow; exits 1 when the
 * camera cannot be reached. */
#include <stdatomic.h>
#include <stdio.h>
#include <time.h>

#include "quorvel/quorvel.h"

static atomic_int frames;

static void RVX_CALL OnFrame(const char *handle, uint8_t *pixels,
                             int32_t count, int32_t format, int32_t user) {
  (void)handle;
  (void)pixels;
  (void)count;
  (void)format;
  (void)user;
  atomic_fetch_add(&frames, 1);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: exit_while_streaming ADDRESS\n");
    return 2;
  }
  const char *camera = rvx_ConnectCameraNoDisplayA(argv[1], 160, 120);
  if (camera == NULL) return 1;
  rvx_StartVideoStream2(camera, 0, OnFrame, 0);
  for (int waited = 0; atomic_load(&frames) == 0; ++waited) {
    if (waited > 30000) return 1; /* 30 s without a frame */
    const struct timespec pause = {0, 1000000};
    nanosleep(&pause, NULL);
  }
  printf("streaming\n");
  fflush(stdout);
  return 0;
}
