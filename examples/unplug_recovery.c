/* unplug_recovery: what an application does when the camera is unplugged, and how it goes on
 * once the camera is back.
 *
 *   unplug_recovery [--simulate]
 *
 * Two signs of an unplugged camera:
 * - Orvex_SnapShot returns 0 and records nothing (Orvex_GetLastError gives 0): no frame came.
 * - During a preview, FrameMessage arrives with wParam 0 and lParam ErrorStreamStopped: the
 *   preview has ended. Orvex_StopPreview then returns 0 with ErrorTransfer recorded.
 * A handle learns which cameras are present when it is made, so the way back is a new handle:
 * release the old one (which saves the settings), make new ones until one finds a camera.
 * With --simulate the virtual camera is unplugged where a person would pull the cable, and
 * plugged in again while the program waits for it. */
#define _POSIX_C_SOURCE 200809L
#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int simulate = 0;

static void sleep_ms(long ms) {
  const struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&pause, NULL);
}

/* Here a person would pull the cable; --simulate does it for them. */
static void pull_the_cable(void) {
  if (simulate) OrvexVirtualCamera_Detach(0);
}

/* A handle that found a camera, waiting up to 10 s for one to be plugged in; 0 if none. */
static CameraHandle open_camera(OrvexWindow window) {
  char names[10][256];
  for (int tries = 0; tries < 50; ++tries) {
    /* ... and here the person plugs it in again, a moment later. */
    if (simulate && tries == 2) OrvexVirtualCamera_Attach(0);
    const CameraHandle camera = Orvex_Initialize(window);
    if (camera != 0 && Orvex_EnumDevice(camera, names) > 0) {
      Orvex_SetColorMode(camera, 8);
      Orvex_SetCaptureWindowEx(camera, 1320, 359, 640, 1024, 272, 480);
      Orvex_SetWaitTime(camera, 1);
      return camera;
    }
    Orvex_Release(camera);
    sleep_ms(200);
  }
  return 0;
}

int main(int argc, char** argv) {
  simulate = argc > 1 && strcmp(argv[1], "--simulate") == 0;
  static uint8_t pixels[640 * 480];
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  CameraHandle camera = open_camera(window);
  int recovered = 0, snapshots = 0, frames = 0;

  /* 1. Snapshots: a 0 with nothing recorded means that no frame came. */
  for (int i = 0; camera != 0 && i < 10; ++i) {
    if (i == 3) pull_the_cable();
    if (Orvex_SnapShot(camera, pixels, sizeof pixels, 1)) {
      ++snapshots;
      continue;
    }
    const int32_t code = Orvex_GetLastError(camera);
    printf("snapshot failed: %s; opening the camera again\n",
           code != 0 ? OrvexError_Name(code) : "no frame (unplugged?)");
    Orvex_Release(camera);
    camera = open_camera(window);
    recovered += camera != 0;
  }

  /* 2. Preview: ErrorStreamStopped ends it; stop, close, and start over with a new handle. */
  if (camera != 0 && Orvex_CallBackPreview(camera, window, NULL, 0, 0)) {
    while (camera != 0 && frames < 40) {
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      if (!OrvexPlatform_GetMessage(window, 5000, &message, &wParam, &lParam)) break;
      if (message == FrameMessage && wParam != 0 && ++frames == 10) pull_the_cable();
      if (message != FrameMessage || wParam != 0 || lParam != ErrorStreamStopped) continue;

      printf("preview stopped: %s; opening the camera again\n", OrvexError_Name((int32_t)lParam));
      Orvex_StopPreview(camera); /* 0, with ErrorTransfer recorded: the stream is dead */
      Orvex_Close(camera);
      Orvex_Release(camera);
      camera = open_camera(window);
      if (camera == 0 || !Orvex_CallBackPreview(camera, window, NULL, 0, 0)) break;
      ++recovered;
    }
  }
  printf("%d snapshots, %d preview frames, %d recoveries\n", snapshots, frames, recovered);
  if (camera != 0) {
    Orvex_StopPreview(camera);
    Orvex_Close(camera);
    Orvex_Release(camera);
  }
  OrvexPlatform_DestroyWindow(window);
  /* Simulated: both unplugs were noticed and frames came again afterwards. */
  return camera != 0 && frames == 40 && (!simulate || recovered == 2) ? 0 : 1;
}
