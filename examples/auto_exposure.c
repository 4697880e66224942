/* auto_exposure: the library steers the exposure until the picture is neither too dark nor
 * too bright.
 *
 *   auto_exposure [--simulate]
 *
 * With Orvex_SetAutoIris(camera, 1) every third frame is measured in five small windows and
 * the exposure register moved when the frame is clearly too dark or too bright. A larger
 * exposure value gives a darker picture on this camera: a bright scene raises it. The
 * automatic exposure keeps it within 0..255. With --simulate the virtual camera's scene gets
 * four times its light first, so that there is something to correct. */
#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(__linux__)
#include <orvex/virtual_camera.h>
#endif

int main(int argc, char** argv) {
  const int simulate = argc > 1 && strcmp(argv[1], "--simulate") == 0;
  const CameraHandle camera = Orvex_Initialize(0);
  if (camera == 0) return 1;
#if defined(__linux__)
  if (simulate) OrvexVirtualCamera_SetSceneLevel(0, 400);
#else
  (void)simulate;
#endif

  /* An 8-bit gray 640 x 480 window in the middle is plenty to watch the level. */
  Orvex_SetColorMode(camera, 8);
  Orvex_SetCaptureWindowEx(camera, 1320, 359, 640, 1024, 272, 480);
  const int32_t stride = 640, size = stride * 480;
  uint8_t* pixels = malloc((size_t)size);
  Orvex_SetExposureTime(camera, 40);
  Orvex_SetAutoIris(camera, 1);

  int32_t last = -1, steady = 0, ok = 0, status = 1;
  for (int frame = 1; pixels != NULL && frame <= 90; ++frame) {
    if (!Orvex_SnapShot(camera, pixels, size, 1)) {
      const int32_t code = Orvex_GetLastError(camera);
      fprintf(stderr, "auto_exposure: no frame: %s\n", OrvexError_Name(code));
      break;
    }
    long sum = 0;
    for (int32_t i = 0; i < size; ++i) sum += pixels[i];
    const int32_t exposure = Orvex_GetExposureTime(camera, &ok); /* read from the camera */
    printf("frame %2d: exposure %3d, mean level %3ld\n", frame, (int)exposure, sum / size);
    /* Settled once three measurements (nine frames) left the exposure alone. */
    steady = exposure == last ? steady + 1 : 0;
    last = exposure;
    if (steady == 9) {
      printf("settled at exposure %d\n", (int)exposure);
      status = 0;
      break;
    }
  }
  Orvex_SetAutoIris(camera, 0);
  free(pixels);
  Orvex_Release(camera); /* saves the exposure as this user's setting */
  return status;
}
