/* The three property dialogs as an application's test meets them: each opened through its export
   on the virtual camera, in the language given on the command line (1033 or 1041), and worked
   from a second thread through OrvexPlatform's automation API, while the settings file, the
   exports and the camera's registers show what each step changed. The same source builds for
   Windows, where the settings live in the registry and the language is the system's (Wine takes
   it from LC_ALL). */
#define _POSIX_C_SOURCE 200809L

#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#ifndef _WIN32
#include <orvex/platform_system.h>
#include <sys/stat.h>
#endif

#define MAIN_KEY "Software\\Helvane\\OrvexQX218Sdk"
#define EXPOSURE_REGISTER 0x52
#define NONE (-99999)

/* Control ids of the dialogs. */
enum {
  OK_BUTTON = 1,
  CANCEL_BUTTON = 2,
  DEFAULT_BUTTON = 3,
  TABS = 1001,
  APPLY_BUTTON = 1002,
  COLOR_LIST = 1009,
  SIZE_LIST = 1010,
  SUB_SAMPLE_LIST = 1012,
  CLOCK_LIST = 1014,
  EH_EDIT = 1041,
  EV_EDIT = 1042,
  EHS_EDIT = 1043,
  WAIT_TIME_EDIT = 1045,
  EXPOSURE_TRACKBAR = 1026,
  EXPOSURE_EDIT = 1027,
  AUTO_EXPOSURE_CHECK = 1037,
  HUE_TRACKBAR = 2021,
  R_GAIN_EDIT = 2052,
  G_GAIN_EDIT = 2062,
  B_GAIN_EDIT = 2072,
  GAMMA_TRACKBAR = 2081,
  ONCE_BUTTON = 2074,
  BAYER_CONVERT_RADIO = 1046,
  GRAY_RED_GAIN_EDIT = 2101
};

/* What differs between the languages. */
struct Language {
  int32_t id;
  int32_t camera, analog, analogPage, image, filterPage, grayPage; /* template ids */
  const char* title;
  const char* cancel;
  const char* custom;
};

static const struct Language kLanguages[] = {
    {1033, 106, 111, 110, 108, 107, 112, "Property", "Cancel", "Custom"},
    {1041, 101, 104, 105, 102, 103, 113, "プロパティ", "キャンセル", "カスタム"},
};

/* The settings of a user who has used the camera before: one small size entry, 8-bit gray, and
   the sub-sample and clock values that the camera dialog shows but cannot change. */
#ifndef _WIN32
static const char kStoredSettings[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\" MAIN_KEY
    "]\n"
    "\"Size\"=dword:00000000\n\"Color\"=dword:00000000\n\"SubSample\"=dword:00000001\n"
    "\"WaitTime\"=dword:0000000a\n\"Clock\"=dword:00000001\n\n"
    "[HKEY_CURRENT_USER\\" MAIN_KEY
    "\\Size_00]\n"
    "\"TH\"=dword:00000528\n\"TV\"=dword:00000100\n\"EH\"=dword:00000140\n"
    "\"EV\"=dword:00000100\n\"EHS\"=dword:00000027\n\"EVS\"=dword:00000000\n"
    "\"Buf\"=dword:00000014\n\n";
#endif

static const struct Language* language;
static CameraHandle camera;
static OrvexWindow messages; /* the camera's error and frame messages */
static int passed = 0;
static int failed = 0;

static void check(int condition, int line, const char* format, ...) {
  va_list args;
  if (condition) {
    ++passed;
    return;
  }
  ++failed;
  printf("FAILED (line %d, language %d): ", line, language->id);
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  printf("\n");
}
#define CHECK(condition, ...) check((condition), __LINE__, __VA_ARGS__)

static void Pause(int milliseconds) {
  struct timespec pause = {0, milliseconds * 1000000L};
  nanosleep(&pause, NULL);
}

/* ---- a modal dialog on the application's thread ---- */

typedef int32_t (*OpenExport)(CameraHandle handle, OrvexWindow parent);

struct Modal {
  OpenExport open;
  OrvexWindow owner;
  int32_t result;
  pthread_t thread;
  OrvexWindow window;
};

static void* RunModal(void* argument) {
  struct Modal* modal = argument;
  modal->result = modal->open(camera, modal->owner);
  return NULL;
}

/* Opens the dialog through its export on a thread of its own and returns once it is up. */
static OrvexWindow Open(struct Modal* modal, OpenExport open, OrvexWindow owner) {
  modal->open = open;
  modal->owner = owner;
  modal->result = -1;
  pthread_create(&modal->thread, NULL, RunModal, modal);
  modal->window = OrvexPlatform_WaitForDialog(10000);
  return modal->window;
}

/* Clicks a button that closes the dialog; the export's result. */
static int32_t Close(struct Modal* modal, int32_t button) {
  if (OrvexPlatform_ClickItem(modal->window, button) != 1) {
    printf("FAILED: button %d did not close the dialog\n", button);
    exit(1);
  }
  pthread_join(modal->thread, NULL);
  return modal->result;
}

/* ---- what the test reads ---- */

static int32_t Stored(const char* subkey, const char* name) {
  char path[128];
  int32_t value = NONE;
#ifdef _WIN32
  HKEY key;
  DWORD size = sizeof value;
  snprintf(path, sizeof path, "%s%s%s", MAIN_KEY, subkey[0] != '\0' ? "\\" : "", subkey);
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return NONE;
  if (RegQueryValueExA(key, name, NULL, NULL, (BYTE*)&value, &size) != ERROR_SUCCESS) value = NONE;
  RegCloseKey(key);
#else
  OrvexRegistryKey key;
  snprintf(path, sizeof path, "%s%s%s", MAIN_KEY, subkey[0] != '\0' ? "\\" : "", subkey);
  key = OrvexPlatform_RegOpenKey(path);
  if (key != 0) OrvexPlatform_RegQueryDword(key, name, &value);
  OrvexPlatform_RegCloseKey(key);
#endif
  return value;
}

static int HasText(OrvexWindow window, int32_t id, const char* expected) {
  char text[128];
  return OrvexPlatform_GetItemText(window, id, text, sizeof text) >= 0 &&
         strcmp(text, expected) == 0;
}

static int HasListItem(OrvexWindow window, int32_t id, int32_t index, const char* expected) {
  char text[128];
  return OrvexPlatform_GetListItemText(window, id, index, text, sizeof text) >= 0 &&
         strcmp(text, expected) == 0;
}

static int32_t Number(OrvexWindow window, int32_t id) {
  char text[64];
  return OrvexPlatform_GetItemText(window, id, text, sizeof text) > 0 ? atoi(text) : NONE;
}

static int32_t Filter(int32_t id) {
  int32_t ok = 0;
  const int32_t value = Orvex_GetFilterValue(camera, id, &ok);
  return ok == 1 ? value : NONE;
}

static int32_t ExposureRegister(void) {
  return OrvexVirtualCamera_GetRegister(0, EXPOSURE_REGISTER);
}

/* Waits for `count` preview frames announced after the call; 0 when they did not all come in
   time. */
static int Frames(int count, int32_t timeoutMs) {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  while (OrvexPlatform_GetMessage(messages, 0, &message, &wParam, &lParam)) {
  }
  while (count > 0) {
    if (!OrvexPlatform_GetMessage(messages, timeoutMs, &message, &wParam, &lParam)) return 0;
    if (message == FrameMessage && wParam != 0) --count;
  }
  return 1;
}

/* The mean sample of the newest 8-bit output, or -1. */
static int MeanOfImage(int32_t bytes) {
  uint8_t* image = malloc((size_t)bytes);
  long sum = 0;
  int32_t i;
  if (image == NULL || Orvex_GetImage(camera, image, bytes, 1) != 1) {
    free(image);
    return -1;
  }
  for (i = 0; i < bytes; ++i) sum += image[i];
  free(image);
  return (int)(sum / bytes);
}

/* Whether the newest output image fits into this many bytes. */
static int ImageFits(int32_t bytes) {
  uint8_t* image = malloc((size_t)bytes);
  const int fits = image != NULL && Orvex_GetImage(camera, image, bytes, 1) == 1;
  free(image);
  return fits;
}

/* Polls `done` for up to ten seconds. */
static int Eventually(int (*done)(OrvexWindow), OrvexWindow window) {
  int tries;
  for (tries = 0; tries < 1000; ++tries) {
    if (done(window)) return 1;
    Pause(10);
  }
  return 0;
}

/* ---- the camera dialog ---- */

static void CameraDialog(void) {
  struct Modal modal;
  OrvexWindow dialog;
  int32_t th = 0, ehs = 0, eh = 0, tv = 0, evs = 0, ev = 0;
  char title[64];

  CHECK(Orvex_CallBackPreview(camera, messages, NULL, 0, 0) == 1, "preview");
  CHECK(Frames(1, 5000), "frames before the dialog");

  dialog = Open(&modal, Orvex_SetCameraDlg, messages);
  CHECK(dialog != 0, "camera dialog open");
  CHECK(OrvexPlatform_GetTemplateId(dialog) == language->camera, "camera template");
  CHECK(OrvexPlatform_GetWindowText(dialog, title, sizeof title) > 0 &&
            strcmp(title, language->title) == 0,
        "title");
  CHECK(HasText(dialog, CANCEL_BUTTON, language->cancel), "Cancel text");
  CHECK(OrvexPlatform_IsWindowEnabled(messages) == 0, "owner disabled while the dialog is open");
  CHECK(OrvexPlatform_IsItemEnabled(dialog, APPLY_BUTTON) == 0, "Apply disabled at opening");
  CHECK(OrvexPlatform_GetListSelection(dialog, SUB_SAMPLE_LIST) == 1 &&
            OrvexPlatform_IsItemEnabled(dialog, SUB_SAMPLE_LIST) == 0 &&
            OrvexPlatform_GetListSelection(dialog, CLOCK_LIST) == 1 &&
            OrvexPlatform_IsItemEnabled(dialog, CLOCK_LIST) == 0,
        "stored Sub Sample and Clock shown, disabled");
  CHECK(HasListItem(dialog, SIZE_LIST, 0, "320 x 256") &&
            HasListItem(dialog, SIZE_LIST, 1, language->custom),
        "the stored size table, then Custom");
  CHECK(!Frames(1, 300), "the preview pauses while the dialog is open");

  /* A custom size, applied: a new entry above "Custom" and in the file, not in the context. */
  CHECK(OrvexPlatform_SelectListItem(dialog, SIZE_LIST, 1) == 1, "choose Custom");
  CHECK(OrvexPlatform_SetItemText(dialog, EH_EDIT, "240") == 1 &&
            OrvexPlatform_SetItemText(dialog, EV_EDIT, "200") == 1 &&
            OrvexPlatform_SetItemText(dialog, EHS_EDIT, "50") == 1 &&
            OrvexPlatform_SetItemText(dialog, WAIT_TIME_EDIT, "20") == 1,
        "type a size and a wait time");
  CHECK(OrvexPlatform_ClickItem(dialog, APPLY_BUTTON) == 1, "Apply");
  CHECK(OrvexPlatform_IsItemEnabled(dialog, APPLY_BUTTON) == 0, "Apply disabled after Apply");
  CHECK(OrvexPlatform_GetListCount(dialog, SIZE_LIST) == 3 &&
            HasListItem(dialog, SIZE_LIST, 1, "240 x 200") &&
            HasListItem(dialog, SIZE_LIST, 2, language->custom) &&
            OrvexPlatform_GetListSelection(dialog, SIZE_LIST) == 1,
        "the new entry above Custom, chosen");
  CHECK(Stored("Size_01", "TH") == 1320 && Stored("Size_01", "EH") == 240 &&
            Stored("Size_01", "EV") == 200 && Stored("Size_01", "EHS") == 50 &&
            Stored("Size_01", "Buf") == 10 && Stored("", "Size") == 1 &&
            Stored("", "WaitTime") == 20,
        "Size_01 and the format written");
  CHECK(Stored("", "SubSample") == 1 && Stored("", "Clock") == 1,
        "Sub Sample and Clock written back unchanged");

  /* Cancel after Apply: the file keeps what was applied, the context its own format. */
  CHECK(Close(&modal, CANCEL_BUTTON) == 1, "Cancel returns 1");
  CHECK(OrvexPlatform_IsWindowEnabled(messages) == 1, "owner enabled again");
  CHECK(Frames(1, 5000), "the preview runs again after Cancel");
  Orvex_GetCaptureWindowEx(camera, &th, &ehs, &eh, &tv, &evs, &ev);
  CHECK(eh == 320 && Orvex_GetWaitTime(camera) == 10 && Stored("Size_01", "EH") == 240,
        "Cancel after Apply: applied in the file only");

  /* OK: the edited entry and the colour type reach the file, then the context and the preview. */
  dialog = Open(&modal, Orvex_SetCameraDlg, 0);
  CHECK(OrvexPlatform_GetListSelection(dialog, SIZE_LIST) == 1 && HasText(dialog, EH_EDIT, "240"),
        "the applied entry shown");
  CHECK(OrvexPlatform_SelectListItem(dialog, COLOR_LIST, 3) == 1, "choose Color 32bit");
  CHECK(OrvexPlatform_SetItemText(dialog, EH_EDIT, "200") == 1, "edit the entry");
  CHECK(Close(&modal, OK_BUTTON) == 1, "OK returns 1");
  CHECK(Stored("Size_01", "EH") == 200 && Stored("", "Color") == 3, "OK writes the entry");
  Orvex_GetCaptureWindowEx(camera, &th, &ehs, &eh, &tv, &evs, &ev);
  CHECK(th == 1320 && ehs == 50 && eh == 200 && ev == 200 && Orvex_GetWaitTime(camera) == 20 &&
            Orvex_GetColorMode(camera) == 32 && Orvex_GetSubSample(camera) == 1,
        "OK reloads the stored geometry and format into the context");
  CHECK(Frames(2, 5000), "the preview runs again after OK");
  /* Sub-sampled 200 x 200 at 32 bits a pixel: exactly 40000 bytes. */
  CHECK(ImageFits(100 * 100 * 4) && !ImageFits(100 * 100 * 4 - 1),
        "the preview frames have the new size");
}

/* ---- the analog dialog ---- */

static int ShowsTheMovedExposure(OrvexWindow page) {
  const int32_t exposure = ExposureRegister();
  return exposure != 40 && Number(page, EXPOSURE_EDIT) == exposure;
}

static void AnalogDialog(void) {
  struct Modal modal;
  OrvexWindow dialog, page;

  CHECK(Orvex_SetGlobalGain(camera, 5) == 1 && Orvex_SetExposureTime(camera, 60) == 1,
        "gains and exposure before the dialog");
  dialog = Open(&modal, Orvex_SetAnalogDlg, 0);
  page = OrvexPlatform_GetDialogPage(dialog, 0);
  CHECK(OrvexPlatform_GetTemplateId(dialog) == language->analog &&
            OrvexPlatform_GetTemplateId(page) == language->analogPage,
        "analog templates");
  CHECK(HasText(dialog, CANCEL_BUTTON, language->cancel), "Cancel text");
  CHECK(Filter(13) == 0 && Filter(14) == 0 && Filter(15) == 0 && Filter(16) == 0 && Filter(17) == 0,
        "the five gains cleared at opening");
  CHECK(HasText(page, EXPOSURE_EDIT, "60"), "the exposure read from the camera");

  /* Dragging reaches the camera at once; Cancel puts the opening exposure back. */
  CHECK(OrvexPlatform_MoveTrackbar(page, EXPOSURE_TRACKBAR, 100) == 1, "drag the exposure");
  CHECK(ExposureRegister() == 100 && Filter(18) == 100, "exposure in the camera at once");
  CHECK(Close(&modal, CANCEL_BUTTON) == 1, "Cancel returns 1");
  CHECK(ExposureRegister() == 60, "Cancel writes the opening exposure back");
  CHECK(Filter(13) == 0 && Filter(17) == 0, "the gains stay cleared after Cancel");

  /* Default writes 40 at once; the automatic exposure then shows its values in the page. */
  dialog = Open(&modal, Orvex_SetAnalogDlg, 0);
  page = OrvexPlatform_GetDialogPage(dialog, 0);
  CHECK(OrvexPlatform_ClickItem(dialog, DEFAULT_BUTTON) == 1, "Default");
  CHECK(ExposureRegister() == 40 && HasText(page, EXPOSURE_EDIT, "40"), "Default writes 40");
  OrvexVirtualCamera_SetSceneLevel(0, 25);
  CHECK(OrvexPlatform_ClickItem(page, AUTO_EXPOSURE_CHECK) == 1, "switch Auto Iris on");
  CHECK(Orvex_GetAutoIris(camera, NULL) == 1, "Auto Iris on in the context");
  CHECK(Eventually(ShowsTheMovedExposure, page), "the page shows the automatic exposure");
  CHECK(OrvexPlatform_ClickItem(page, AUTO_EXPOSURE_CHECK) == 1, "switch Auto Iris off");
  CHECK(Close(&modal, OK_BUTTON) == 1, "OK returns 1");
  CHECK(Orvex_GetAutoIris(camera, NULL) == 0, "Auto Iris off in the context");
  OrvexVirtualCamera_SetSceneLevel(0, 100);
  Orvex_SetExposureTime(camera, 40);
}

/* ---- the image dialog ---- */

static int ShowsTheWhiteBalance(OrvexWindow page) {
  const int32_t red = Filter(7), green = Filter(8), blue = Filter(9);
  return Filter(10) == 0 && (red != 100 || blue != 100) && Number(page, R_GAIN_EDIT) == red &&
         Number(page, G_GAIN_EDIT) == green && Number(page, B_GAIN_EDIT) == blue;
}

static int ShowsTheGrayBalance(OrvexWindow page) {
  const int32_t red = Filter(20);
  return red != 128 && Number(page, GRAY_RED_GAIN_EDIT) == red;
}

static void ImageDialog(void) {
  struct Modal modal;
  OrvexWindow dialog, page;
  int32_t red;
  int before, darker, after;

  /* Colour: every row, one tab, and a one-shot white balance shown without closing. */
  OrvexVirtualCamera_SetSceneColor(0, 200, 100, 50);
  /* Once measures the next frame the preview takes, which must be of the coloured scene. */
  CHECK(Frames(3, 5000), "frames of the coloured scene");
  dialog = Open(&modal, Orvex_SetImageDlg, 0);
  page = OrvexPlatform_GetDialogPage(dialog, 0);
  CHECK(OrvexPlatform_GetTemplateId(dialog) == language->image &&
            OrvexPlatform_GetTemplateId(page) == language->filterPage,
        "image templates");
  CHECK(OrvexPlatform_GetTabCount(dialog, TABS) == 1 &&
            OrvexPlatform_IsItemEnabled(page, HUE_TRACKBAR) == 1,
        "ColorType 3: every row, no Gray Filter tab");
  CHECK(OrvexPlatform_ClickItem(page, ONCE_BUTTON) == 1, "Once");
  CHECK(Eventually(ShowsTheWhiteBalance, page), "the measured gains shown in the open dialog");
  red = Filter(7);
  CHECK(Close(&modal, OK_BUTTON) == 1, "OK returns 1");
  CHECK(Filter(7) == red, "OK keeps the measured gains");

  /* Gray: four rows, the Gray Filter tab; Gamma on the next frames, Cancel brings it back. */
  CHECK(Orvex_StopPreview(camera) == 1 && Orvex_SetColorMode(camera, 8) == 1 &&
            Orvex_CallBackPreview(camera, messages, NULL, 0, 0) == 1,
        "gray preview");
  CHECK(Frames(2, 5000), "gray frames");
  before = MeanOfImage(100 * 100);
  dialog = Open(&modal, Orvex_SetImageDlg, 0);
  page = OrvexPlatform_GetDialogPage(dialog, 0);
  CHECK(OrvexPlatform_GetTabCount(dialog, TABS) == 2 &&
            OrvexPlatform_GetTemplateId(OrvexPlatform_GetDialogPage(dialog, 1)) ==
                language->grayPage &&
            OrvexPlatform_IsItemEnabled(page, HUE_TRACKBAR) == 0,
        "ColorType 0: Hue disabled, a Gray Filter tab");
  CHECK(OrvexPlatform_MoveTrackbar(page, GAMMA_TRACKBAR, 150) == 1 && Filter(11) == 150,
        "Gamma 150 in the context at once");
  CHECK(Frames(2, 5000), "frames with Gamma 150");
  darker = MeanOfImage(100 * 100);
  CHECK(before > 40 && darker >= 0 && darker < before / 2, "Gamma 150 darkens the preview (%d, %d)",
        before, darker);

  page = OrvexPlatform_GetDialogPage(dialog, 1);
  CHECK(OrvexPlatform_SelectTab(dialog, TABS, 1) == 1, "the Gray Filter tab");
  CHECK(OrvexPlatform_ClickItem(page, BAYER_CONVERT_RADIO) == 1 &&
            OrvexPlatform_ClickItem(page, ONCE_BUTTON) == 1,
        "gray correction, one gray balance");
  CHECK(Eventually(ShowsTheGrayBalance, page), "the measured gray gains shown in the open dialog");

  CHECK(Close(&modal, CANCEL_BUTTON) == 1, "Cancel returns 1");
  CHECK(Filter(11) == 100 && Filter(19) == 0 && Filter(20) == 128, "Cancel restores the settings");
  CHECK(Frames(2, 5000), "frames after Cancel");
  after = MeanOfImage(100 * 100);
  CHECK(after >= before - 2 && after <= before + 2, "the preview as before (%d, %d)", before,
        after);
  CHECK(Orvex_Close(camera) == 1, "close the preview");
  /* The image settings reach the file when the handle is released. */
  CHECK(Orvex_Release(camera) == 1, "release");
  camera = 0;
  CHECK(Stored("Filter", "R_Gain") == red && Stored("Filter", "Gamma") == 100,
        "the image settings stored at release");
}

#ifdef _WIN32
/* The same settings in the user's registry, the camera library's earlier ones gone. */
static int SetStored(const char* subkey, const char* const* names, const DWORD* values, int n) {
  char path[128];
  HKEY key;
  int i;
  snprintf(path, sizeof path, "%s%s%s", MAIN_KEY, subkey[0] != '\0' ? "\\" : "", subkey);
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
      ERROR_SUCCESS) {
    return 0;
  }
  for (i = 0; i < n; ++i) {
    RegSetValueExA(key, names[i], 0, REG_DWORD, (const BYTE*)&values[i], sizeof values[i]);
  }
  RegCloseKey(key);
  return 1;
}

static int Prepare(void) {
  static const char* const kMain[] = {"Size", "Color", "SubSample", "WaitTime", "Clock"};
  static const DWORD kMainValues[] = {0, 0, 1, 10, 1};
  static const char* const kSize[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
  static const DWORD kSizeValues[] = {1320, 256, 320, 256, 39, 0, 20};
  RegDeleteTreeA(HKEY_CURRENT_USER, MAIN_KEY);
  return SetStored("", kMain, kMainValues, 5) && SetStored("Size_00", kSize, kSizeValues, 7);
}
#else
static int Prepare(void) {
  char directory[] = "/tmp/orvex-dialogs-XXXXXX";
  char path[128];
  FILE* file;
  if (mkdtemp(directory) == NULL) return 0;
  setenv("XDG_CONFIG_HOME", directory, 1);
  snprintf(path, sizeof path, "%s/Helvane", directory);
  mkdir(path, 0700);
  snprintf(path, sizeof path, "%s/Helvane/OrvexQX218Sdk.reg", directory);
  file = fopen(path, "w");
  if (file == NULL) return 0;
  fputs(kStoredSettings, file);
  fclose(file);
  return 1;
}
#endif

int main(int argc, char** argv) {
  const int32_t id = argc > 1 ? atoi(argv[1]) : 1033;
  size_t i;
  for (i = 0; i < sizeof kLanguages / sizeof kLanguages[0]; ++i) {
    if (kLanguages[i].id == id) language = &kLanguages[i];
  }
  if (language == NULL || !Prepare()) {
    printf("usage: dialog_client 1033|1041\n");
    return 2;
  }
#ifdef _WIN32
  if (OrvexPlatform_GetSystemLanguage() != language->id) {
    printf("the system language is %d, not %d\n", (int)OrvexPlatform_GetSystemLanguage(),
           (int)language->id);
    return 2;
  }
#else
  OrvexPlatform_SetSystemLanguage(language->id);
#endif
  /* A fresh camera; under Wine the driver keeps each camera's state between processes. */
  OrvexVirtualCamera_Detach(0);
  OrvexVirtualCamera_Attach(0);
  OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_GRAY);
  messages = OrvexPlatform_CreateMessageWindow();
  camera = Orvex_Initialize(messages);
  if (camera == 0) return 1;

  CameraDialog();
  AnalogDialog();
  ImageDialog();

  OrvexPlatform_DestroyWindow(messages);
  /* The next program finds the camera and the settings as the session started them. */
  OrvexVirtualCamera_Detach(0);
  OrvexVirtualCamera_Attach(0);
#ifdef _WIN32
  RegDeleteTreeA(HKEY_CURRENT_USER, MAIN_KEY);
#endif
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
