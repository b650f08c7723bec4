/*
 * stream_count: the smallest complete use of quorvel without a window.
 *
 *   stream_count ADDRESS [FILE.bmp]
 *
 * Connects to the camera at ADDRESS without display, streams for a few
 * seconds with a stream callback and no window, counts the frames, reads
 * the received and displayed rates, saves one frame as a BMP file
 * (stream_count.bmp unless FILE.bmp is given) and disconnects. Exit status
 * 0 on success, 1 when a step fails, 2 for a bad command line.
 */
#define _POSIX_C_SOURCE 200809L

#include <quorvel/quorvel.h>

#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kWidth = 640, kHeight = 480, kStreamSeconds = 3, kFrameWaitSeconds = 5 };

/* Written on the camera's receiver thread, read on the main thread. The
 * first full frame is copied once: 0 nothing yet, 1 being copied, 2 ready. */
static atomic_int framesCounted;
static atomic_int pictureState;
static int32_t pictureFormat;
static uint8_t *picture;

static void RVX_CALL OnFrame(const char *handle, uint8_t *pixels,
                             int32_t pixelCount, int32_t pixelFormat,
                             int32_t user) {
  (void)handle;
  (void)user;
  atomic_fetch_add(&framesCounted, 1);
  int empty = 0;
  /* A frame the camera cut short has fewer pixels; only a full one is
   * worth saving. The callback must be quick: it holds up reception. */
  if (pixelCount == kWidth * kHeight && pixelFormat == RVX_FORMAT_MONO8 &&
      atomic_compare_exchange_strong(&pictureState, &empty, 1)) {
    memcpy(picture, pixels, (size_t)pixelCount);
    pictureFormat = pixelFormat;
    atomic_store(&pictureState, 2);
  }
}

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void SleepSeconds(double seconds) {
  struct timespec pause;
  pause.tv_sec = (time_t)seconds;
  pause.tv_nsec = (long)((seconds - (double)pause.tv_sec) * 1e9);
  nanosleep(&pause, NULL);
}

static int Fail(const char *handle, const char *what) {
  fprintf(stderr, "stream_count: %s\n", what);
  if (handle != NULL) rvx_DisconnectCamera(handle);
  free(picture);
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 2 || argc > 3 || argv[1][0] == '-') {
    fprintf(stderr, "usage: stream_count ADDRESS [FILE.bmp]\n");
    return 2;
  }
  const char *address = argv[1];
  const char *file = argc == 3 ? argv[2] : "stream_count.bmp";
  picture = malloc((size_t)kWidth * kHeight);
  if (picture == NULL) return Fail(NULL, "out of memory");

  const char *handle = rvx_ConnectCameraNoDisplayA(address, kWidth, kHeight);
  if (handle == NULL) return Fail(NULL, "cannot connect to the camera");
  printf("connected to %s as %s\n", address, handle);

  /* No window: frames arrive in the callback and are never drawn. */
  rvx_StartVideoStream2(handle, 0, OnFrame, 0);
  const double start = Now();
  SleepSeconds(kStreamSeconds);
  /* A camera slow to start gets a little longer for its first frame. */
  while (atomic_load(&pictureState) != 2 &&
         Now() - start < kStreamSeconds + kFrameWaitSeconds) {
    SleepSeconds(0.05);
  }
  const double elapsed = Now() - start;
  double received = 0.0, displayed = 0.0;
  /* The rates read 0 once the stream is stopped, so read them first. */
  const int rates = rvx_GetFPS(handle, RVX_FPS_RECEIVED, &received) &&
                    rvx_GetFPS(handle, RVX_FPS_DISPLAYED, &displayed);
  rvx_StopVideoStream(handle);
  const int frames = atomic_load(&framesCounted);
  printf("frames counted: %d in %.1f s\n", frames, elapsed);
  if (!rates) return Fail(handle, "cannot read the frame rates");
  printf("received %.1f fps, displayed %.1f fps\n", received, displayed);

  if (atomic_load(&pictureState) != 2) {
    return Fail(handle, "no complete frame arrived");
  }
  if (!rvx_RawImageToBmpRGBFileA(picture, file, kWidth, kHeight,
                                 pictureFormat)) {
    return Fail(handle, "cannot save the frame");
  }
  printf("saved one frame to %s\n", file);
  rvx_DisconnectCamera(handle);
  free(picture);
  return 0;
}
