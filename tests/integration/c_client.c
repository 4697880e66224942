/* A C application of the camera library: handle, errors posted to a message window, raw
   register and identification access on the virtual camera, a frame, unplugging, release. The
   same source builds for Linux and for Windows. */
#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdio.h>
#include <string.h>

static int passed = 0;
static int failed = 0;

static void check(int condition, const char* what) {
  if (condition) {
    ++passed;
  } else {
    ++failed;
    printf("FAILED: %s\n", what);
  }
}

int main(void) {
  OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  CameraHandle handle;
  int32_t ok = 0;
  uint32_t message = 0;
  uintptr_t wParam = 1;
  intptr_t lParam = 0;
  static uint8_t frame[64 * 48];

  OrvexVirtualCamera_Attach(0); /* attached already unless the environment said otherwise */
  handle = Orvex_Initialize(window);
  check(handle != 0, "Orvex_Initialize gives a handle");
  check(Orvex_GetDllVersion() == 2032896, "version");
  check(Orvex_GetLastError(handle) == 0, "no error after start-up");

  check(Orvex_Fpga_WriteRegister(handle, 0x20, 0x1234) == 1, "register write");
  check(Orvex_Fpga_ReadRegister(handle, 0x20, &ok) == 0x1234 && ok == 1, "register read");
  check(Orvex_WriteSromID(handle, 0, 0x42) == 1, "identification byte write");
  check(Orvex_ReadSromID(handle, 0, &ok) == 0x42 && ok == 1, "identification byte read");

  /* One frame of flat mid gray, 64 x 48 at 8 bits. */
  check(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_GRAY) == 1, "gray scene");
  check(OrvexVirtualCamera_SetFramePeriod(0, 0) == 1, "frames at once");
  check(Orvex_SetCaptureWindowEx(handle, 1320, 40, 64, 1024, 0, 48) == 1, "capture window");
  check(Orvex_SetColorMode(handle, 8) == 1, "8 bits a pixel");
  memset(frame, 0, sizeof frame);
  check(Orvex_SnapShot(handle, frame, (int32_t)sizeof frame, 0) == 1, "snapshot");
  check(frame[0] == 128 && frame[sizeof frame - 1] == 128, "the frame shows the scene");

  check(Orvex_Trigger(handle) == 0, "unsupported export fails");
  check(Orvex_GetLastError(handle) == ErrorNotSupported, "unsupported export records 11");
  check(OrvexPlatform_GetMessage(window, 1000, &message, &wParam, &lParam) == 1 &&
            message == ErrorMessage && wParam == 0 && lParam == ErrorNotSupported,
        "ErrorMessage posted with the code");

  OrvexVirtualCamera_Detach(0);
  check(Orvex_Fpga_ReadRegister(handle, 0x20, &ok) == 0 && ok == 0, "unplugged camera fails");
  check(Orvex_GetLastError(handle) == ErrorTransfer, "unplugging reported as 6");
  check(OrvexPlatform_GetMessage(window, 1000, &message, &wParam, &lParam) == 1 &&
            lParam == ErrorTransfer,
        "ErrorMessage for the unplugged camera");

  check(Orvex_Release(handle) == 1, "release");
  check(Orvex_Release(handle) == 0, "second release");
  OrvexPlatform_DestroyWindow(window);

  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
