/* callback_loop: the live preview copied into the application's own buffer.
 *
 *   callback_loop [FRAMES]
 *
 * Orvex_CallBackPreview copies every processed frame into the buffer it is given and then
 * posts FrameMessage, with the address of a FrameInfo, to a window. Here that window is a
 * message window of OrvexPlatform, read with OrvexPlatform_GetMessage; the library also draws
 * each frame into its own preview window. The library may already be writing the next frame
 * while this program reads the buffer: take what you need at once. */
#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>
#include <orvex/platform.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double seconds_now(void) {
  struct timespec now;
  timespec_get(&now, TIME_UTC);
  return (double)now.tv_sec + now.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  const int wanted = argc > 1 ? atoi(argv[1]) : 100;
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  /* The same window receives ErrorMessage for every error the library records. */
  const CameraHandle camera = Orvex_Initialize(window);
  int frames = 0, status = 1;
  if (camera == 0 || window == 0) {
    if (camera != 0) Orvex_Release(camera);
    if (window != 0) OrvexPlatform_DestroyWindow(window);
    return 1;
  }

  Orvex_SetColorMode(camera, 8); /* gray: one byte a pixel */
  const int32_t width = Orvex_Width(camera), height = Orvex_Height(camera);
  const int32_t stride = (width + 3) / 4 * 4;
  uint8_t* buffer = malloc((size_t)stride * (size_t)height);
  /* bottomUp = 1: top row first. The buffer must live until the preview stops. */
  if (buffer == NULL || !Orvex_CallBackPreview(camera, window, buffer, stride * height, 1)) {
    const int32_t code = Orvex_GetLastError(camera);
    fprintf(stderr, "callback_loop: no preview: %s (%d)\n", OrvexError_Name(code), (int)code);
    Orvex_Release(camera);
    OrvexPlatform_DestroyWindow(window);
    free(buffer);
    return 1;
  }

  const double start = seconds_now();
  FrameInfo info = {0};
  while (frames < wanted) {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    if (!OrvexPlatform_GetMessage(window, 5000, &message, &wParam, &lParam)) {
      fprintf(stderr, "callback_loop: no frame for 5 s\n");
      break;
    }
    if (message == FrameMessage && wParam != 0) {
      info = *(const FrameInfo*)wParam; /* copied: the next frame rewrites it */
      const uint8_t* middle = buffer + (size_t)(height / 2) * (size_t)stride;
      long sum = 0;
      for (int32_t x = 0; x < width; ++x) sum += middle[x];
      if (++frames % 25 == 0) {
        printf("frame %d: %d x %d, middle row mean %ld, %d.%d frames/s\n", frames, (int)info.width,
               (int)info.height, sum / width, (int)info.frameRate / 10, (int)info.frameRate % 10);
      }
    } else if (message == FrameMessage) { /* wParam 0: this frame failed, lParam says why */
      fprintf(stderr, "callback_loop: frame failed: %s\n", OrvexError_Name((int32_t)lParam));
      if (lParam == ErrorStreamStopped) break; /* the camera is gone: the preview has ended */
    } else if (message == ErrorMessage) {
      fprintf(stderr, "callback_loop: error %s\n", OrvexError_Name((int32_t)lParam));
    }
  }
  const double elapsed = seconds_now() - start;
  if (frames == wanted) {
    printf("%d frames in %.2f s: %.1f frames/s\n", frames, elapsed, frames / elapsed);
    status = 0;
  }
  Orvex_StopPreview(camera);
  Orvex_Close(camera); /* removes the preview window */
  Orvex_Release(camera);
  OrvexPlatform_DestroyWindow(window);
  free(buffer); /* only now: the library no longer writes it */
  return status;
}
