/* preview_x11: the live preview inside the application's own Xlib window.
 *
 *   preview_x11 [FRAMES]
 *
 * The library makes its preview window as a child of ours (Orvex_SetPreviewWindow) and posts
 * FrameMessage and ErrorMessage to our window. On X a posted message arrives as a
 * ClientMessage event of type ORVEX_MESSAGE, format 32: data.l[0] the message, l[1] and l[2]
 * the low and high halves of wParam, l[3] and l[4] those of lParam. */
#define _POSIX_C_SOURCE 200809L
#include <OrvexSdk_QX218.h>
#include <X11/Xlib.h>
#include <orvex/errors.h>
#include <orvex/platform.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>

/* A 64-bit parameter from its two 32-bit halves; Xlib may have sign-extended each item. */
static uint64_t joined(long low, long high) {
  return ((uint64_t)high & 0xFFFFFFFFu) << 32 | ((uint64_t)low & 0xFFFFFFFFu);
}

/* Waits up to timeoutMs for the next event; 0 when none came. */
static int next_event(Display* display, XEvent* event, int timeoutMs) {
  if (XPending(display) == 0) {
    struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    if (poll(&connection, 1, timeoutMs) <= 0 || XPending(display) == 0) return 0;
  }
  XNextEvent(display, event);
  return 1;
}

int main(int argc, char** argv) {
  const int wanted = argc > 1 ? atoi(argv[1]) : 300;
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "preview_x11: no X display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 640, 512, 0,
                          BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, "preview_x11");
  XMapWindow(display, window);
  XSync(display, False);
  const Atom libraryMessage = XInternAtom(display, ORVEX_PLATFORM_MESSAGE_ATOM, False);

  /* Errors are posted to our window too. */
  const CameraHandle camera = Orvex_Initialize((OrvexWindow)window);
  int frames = 0, status = 1;
  /* The whole 1280 x 1024 picture, drawn scaled into 640 x 512 at (0, 0) of our window. */
  if (!Orvex_SetPreviewWindow(camera, (OrvexWindow)window, 0, 0, 640, 512) ||
      !Orvex_CallBackPreview(camera, (OrvexWindow)window, NULL, 0, 0)) {
    const int32_t code = Orvex_GetLastError(camera);
    fprintf(stderr, "preview_x11: no preview: %s (%d)\n", OrvexError_Name(code), (int)code);
  } else {
    XEvent event;
    while (frames < wanted && next_event(display, &event, 10000)) {
      if (event.type != ClientMessage || event.xclient.message_type != libraryMessage) continue;
      const long* item = event.xclient.data.l;
      const uint32_t message = (uint32_t)item[0];
      const uint64_t wParam = joined(item[1], item[2]);
      const int64_t lParam = (int64_t)joined(item[3], item[4]);
      if (message == FrameMessage && wParam != 0) {
        const FrameInfo* info = (const FrameInfo*)(uintptr_t)wParam;
        if (++frames % 30 == 0) {
          printf("%d frames, %d.%d frames/s\n", frames, (int)info->frameRate / 10,
                 (int)info->frameRate % 10);
        }
      } else {
        fprintf(
            stderr, "preview_x11: %s %s\n",
            message == FrameMessage ? "frame failed:" : "error:", OrvexError_Name((int32_t)lParam));
        if (message == FrameMessage && lParam == ErrorStreamStopped) break;
      }
    }
    status = frames == wanted ? 0 : 1;
    printf("%d frames shown\n", frames);
  }
  Orvex_StopPreview(camera);
  Orvex_Close(camera);
  Orvex_Release(camera);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return status;
}
