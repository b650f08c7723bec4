/* camsample: the smallest complete use of the library. Connects to one
 * camera with display, prints its device name, reads the internal SPS
 * value, sets the smallest object size that counts as moving, and
 * disconnects. */
#include <stdio.h>

#include "quorvel/quorvel.h"

#ifndef CAMSAMPLE_ADDRESS
#define CAMSAMPLE_ADDRESS "127.0.0.1"
#endif

int main(void) {
  printf("Connect to Ostrel_P1 camera......");
  const char* camera = rvx_ConnectCameraDisplayA(CAMSAMPLE_ADDRESS, 5120, 250);
  if (camera == NULL) {
    printf("Failed!!\nTerminate this program!!\n");
    return 1;
  }
  printf("Success! Device Name = %s\n", camera);

  printf("Get a smart-motion configuration......");
  int32_t sps = 0;
  if (rvx_GetSmartMotion(camera, RVX_ITEM_INTERNAL_SPS, &sps) != 0) {
    printf("OK! Get Internal SPS = %d\n", (int)sps);
  } else {
    printf("Failed!\n");
  }

  printf("Set a smart-motion configuration......");
  if (rvx_SetSmartMotion(camera, RVX_ITEM_MIN_OBJECT_SIZE, 10000) != 0) {
    printf("OK!\n");
  } else {
    printf("Failed!\n");
  }

  printf("Disconnect this camera.\n");
  rvx_DisconnectAllCameras();
  return 0;
}
