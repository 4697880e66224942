/* Pictures of the property dialogs as the Windows DLL draws them, for the documentation:
     orvex_windows_dialog_screenshots OUTPUT_DIRECTORY
   opens the camera, analog and image dialogs (with each page of the image dialog) on the
   virtual camera, in the system's language (Wine takes it from LC_ALL), and writes what the
   screen shows of each as windows-dialog-<name>-<en|ja>.ppm into the directory
   (scripts/windows-dialog-screenshots.sh runs it under Wine and turns the files into PNG). */
#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#define MAIN_KEY "Software\\Helvane\\OrvexQX218Sdk"

enum { CANCEL_BUTTON = 2, TABS = 1001 };

typedef int32_t (*OpenExport)(CameraHandle handle, OrvexWindow parent);

struct Modal {
  OpenExport open;
  int32_t result;
  pthread_t thread;
  OrvexWindow window;
};

static CameraHandle camera;
static const char* directory;
static const char* suffix;

static void* RunModal(void* argument) {
  struct Modal* modal = argument;
  modal->result = modal->open(camera, 0);
  return NULL;
}

/* Opens the dialog through its export on a thread of its own, as an application's thread
   would, and returns once it is up. */
static OrvexWindow Open(struct Modal* modal, OpenExport open) {
  modal->open = open;
  modal->result = -1;
  pthread_create(&modal->thread, NULL, RunModal, modal);
  modal->window = OrvexPlatform_WaitForDialog(10000);
  return modal->window;
}

static void Cancel(struct Modal* modal) {
  if (modal->window == 0 || OrvexPlatform_ClickItem(modal->window, CANCEL_BUTTON) == 1) {
    pthread_join(modal->thread, NULL);
  }
}

/* Writes what the screen shows of the window as a binary PPM file; 1 when it was written. */
static int Shoot(OrvexWindow window, const char* name) {
  int32_t x = 0, y = 0, width = 0, height = 0;
  uint8_t* bgr;
  char path[1024];
  FILE* file;
  int written = 0;
  /* Wine draws the controls after the dialog has handled the message that showed it. */
  Sleep(700);
  if (window == 0 || OrvexPlatform_GetWindowRect(window, &x, &y, &width, &height) != 1) {
    printf("FAILED %s: no dialog\n", name);
    return 0;
  }
  bgr = malloc((size_t)width * (size_t)height * 3);
  snprintf(path, sizeof path, "%s\\windows-dialog-%s-%s.ppm", directory, name, suffix);
  file = fopen(path, "wb");
  if (bgr != NULL && file != NULL && OrvexPlatform_ReadScreen(x, y, width, height, bgr) == 1) {
    size_t i;
    fprintf(file, "P6\n%d %d\n255\n", (int)width, (int)height);
    for (i = 0; i < (size_t)width * (size_t)height; ++i) {
      const uint8_t rgb[3] = {bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]};
      fwrite(rgb, 1, 3, file);
    }
    written = ferror(file) == 0;
  }
  if (file != NULL && fclose(file) != 0) written = 0;
  free(bgr);
  printf("%s %s\n", written ? "wrote" : "FAILED", path);
  return written;
}

/* Opens the dialog, takes a picture of it (and of each further tab of the image dialog, under
   the names in `pages`) and cancels it. */
static int ShootDialog(OpenExport open, const char* const* pages, int count) {
  struct Modal modal;
  int ok = 1;
  int tab;
  const OrvexWindow dialog = Open(&modal, open);
  for (tab = 0; tab < count; ++tab) {
    if (tab > 0 && OrvexPlatform_SelectTab(dialog, TABS, tab) != 1) {
      printf("FAILED %s: no tab %d\n", pages[tab], tab);
      ok = 0;
      continue;
    }
    ok = Shoot(dialog, pages[tab]) && ok;
  }
  Cancel(&modal);
  return ok;
}

int main(int argc, char** argv) {
  static const char* const kCamera[] = {"camera"};
  static const char* const kAnalog[] = {"analog"};
  static const char* const kColorImage[] = {"image-filter"};
  static const char* const kGrayImage[] = {"image-gray", "gray-filter"};
  OrvexWindow messages;
  int ok;
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  directory = argv[1];
  suffix = OrvexPlatform_GetSystemLanguage() == 1041 ? "ja" : "en";

  /* The first-run settings on a fresh camera, so that the pictures show the defaults. */
  RegDeleteTreeA(HKEY_CURRENT_USER, MAIN_KEY);
  OrvexVirtualCamera_Detach(0);
  OrvexVirtualCamera_Attach(0);
  messages = OrvexPlatform_CreateMessageWindow();
  camera = Orvex_Initialize(messages);
  if (camera == 0) {
    printf("FAILED: no camera\n");
    return 1;
  }

  ok = ShootDialog(Orvex_SetCameraDlg, kCamera, 1);
  ok = ShootDialog(Orvex_SetAnalogDlg, kAnalog, 1) && ok;
  ok = Orvex_SetColorMode(camera, 24) == 1 && ShootDialog(Orvex_SetImageDlg, kColorImage, 1) && ok;
  ok = Orvex_SetColorMode(camera, 8) == 1 && ShootDialog(Orvex_SetImageDlg, kGrayImage, 2) && ok;

  Orvex_Release(camera);
  OrvexPlatform_DestroyWindow(messages);
  RegDeleteTreeA(HKEY_CURRENT_USER, MAIN_KEY);
  return ok ? 0 : 1;
}
