/*
 * OrvexPlatform: the window system as the camera library sees it on Linux. Message windows
 * receive what the library posts to a window handle, so that a console application or a test
 * can read it. Windows with a picture make up the headless screen: where no X display serves
 * the camera library, its preview windows are windows of this library, and what it draws lands
 * in them exactly as a screen would show it (OrvexPlatform_ReadScreen).
 *
 * Every function is thread-safe. Handles are opaque and never reused; every window, with a
 * picture or not, receives posted messages.
 */
#ifndef ORVEX_PLATFORM_H
#define ORVEX_PLATFORM_H

#include <stdint.h>

/* The same window type as OrvexSdk_QX218.h: a window handle on Windows. */
#ifndef ORVEX_WINDOW_DEFINED
#define ORVEX_WINDOW_DEFINED
#if defined(_WIN32)
#include <windows.h>
typedef HWND OrvexWindow;
#else
typedef uintptr_t OrvexWindow;
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A new window that only collects posted messages; 0 when none could be made. The handle is
   opaque: it never equals an X window id nor a handle made earlier in the process. */
OrvexWindow OrvexPlatform_CreateMessageWindow(void);
/* Waits up to timeoutMs (0: no wait, negative: forever) for the oldest posted message: 1 with
   it written through the non-null pointers, 0 when none came in time or the window is unknown. */
int32_t OrvexPlatform_GetMessage(OrvexWindow window, int32_t timeoutMs, uint32_t* message,
                                 uintptr_t* wParam, intptr_t* lParam);
/* Queues a message for the window and returns at once: 1, or 0 for an unknown window. */
int32_t OrvexPlatform_PostMessage(OrvexWindow window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam);
/* 1 when the window existed. Messages still queued are dropped; a waiting GetMessage returns 0.
   The windows inside it go with it. */
int32_t OrvexPlatform_DestroyWindow(OrvexWindow window);

/* ---- The headless screen ----
   Positions are in pixels, x to the right and y downwards. A top-level window is placed on the
   screen, a child window in its parent's client area and clipped to it. Windows stack in the
   order they were made: later windows above earlier ones, children above their parent. The
   screen shows black where no window is. */

/* Style bits of OrvexPlatform_CreateWindowEx. */
#define ORVEX_PLATFORM_VISIBLE 0x1u /* shown at once */
#define ORVEX_PLATFORM_FRAMED                                     \
  0x2u /* top level only: a caption and a sizing border, drawn in \
          gray, around the client area */

/* The screen's size, 1 to 16384 pixels each way (1920 x 1080 at start); 1, or 0 when refused.
   Windows keep their places. */
int32_t OrvexPlatform_SetScreenSize(int32_t width, int32_t height);
/* 1 with the size written through the non-null pointers. */
int32_t OrvexPlatform_GetScreenSize(int32_t* width, int32_t* height);

/* An application window, shown, without a frame, its client area white: top-level at (x, y) of
   the screen when parent is 0, else a child at (x, y) of the parent's client area. 0 when the
   parent is not a window with a picture. Sizes are limited to 0 .. 16384. */
OrvexWindow OrvexPlatform_CreateWindow(OrvexWindow parent, int32_t x, int32_t y, int32_t width,
                                       int32_t height);
/* A window with a title and a style (ORVEX_PLATFORM_*), its client area black; x, y, width and
   height are its outer rectangle. Otherwise as OrvexPlatform_CreateWindow. */
OrvexWindow OrvexPlatform_CreateWindowEx(OrvexWindow parent, const char* title, uint32_t style,
                                         int32_t x, int32_t y, int32_t width, int32_t height);
/* Turns a client rectangle into the outer rectangle of a window of this style. */
int32_t OrvexPlatform_AdjustWindowRect(uint32_t style, int32_t* left, int32_t* top, int32_t* right,
                                       int32_t* bottom);
/* Moves and resizes the window's outer rectangle (in its parent's client area). The picture keeps
   what it showed where the old and new client areas overlap; new parts are the background. */
int32_t OrvexPlatform_MoveWindow(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                                 int32_t height);
/* Shows (show non-zero) or hides the window; 1, or 0 for an unknown window. */
int32_t OrvexPlatform_ShowWindow(OrvexWindow window, int32_t show);
/* 1 for a live window (message windows included), else 0. */
int32_t OrvexPlatform_IsWindow(OrvexWindow window);
/* 1 when the window and all windows it lies in are shown; message windows are never visible. */
int32_t OrvexPlatform_IsWindowVisible(OrvexWindow window);
/* The outer rectangle on the screen. 1, or 0 for an unknown window or a message window. */
int32_t OrvexPlatform_GetWindowRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height);
/* The client area on the screen. 1, or 0 for an unknown window or a message window. */
int32_t OrvexPlatform_GetClientRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height);
/* The parent given at creation; 0 for a top-level window or an unknown one. */
OrvexWindow OrvexPlatform_GetParent(OrvexWindow window);
/* The newest live window with exactly this title; 0 when there is none. */
OrvexWindow OrvexPlatform_FindWindow(const char* title);
/* Gives the window the keyboard focus; 1, or 0 for an unknown window. */
int32_t OrvexPlatform_SetFocus(OrvexWindow window);
/* The window with the keyboard focus; 0 when none (or it was destroyed). */
OrvexWindow OrvexPlatform_GetFocus(void);

/* Fills the whole client area with one colour. */
int32_t OrvexPlatform_FillWindow(OrvexWindow window, uint8_t red, uint8_t green, uint8_t blue);
/* Draws width x height pixels at (x, y) of the client area, cut to it. firstRow points at the
   pixels for the block's top row; row k lies at firstRow + k x stride bytes (stride may be
   negative, for rows stored bottom-up). bitsPerPixel 24 (blue, green, red), 32 (blue, green,
   red, unused) or 8 (an index into palette: 256 entries of blue, green, red, unused; gray when
   palette is null). 1, or 0 for an unknown window, a message window or a bad argument. */
int32_t OrvexPlatform_DrawBits(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                               int32_t height, const void* firstRow, intptr_t stride,
                               int32_t bitsPerPixel, const uint8_t* palette);
/* How many times DrawBits has drawn into the window; -1 for an unknown window. */
int32_t OrvexPlatform_DrawCount(OrvexWindow window);
/* The screen as a person would see it: every shown window at its place, children inside their
   parents, later windows above earlier ones. Writes width x height pixels, top row first, 3
   bytes a pixel (blue, green, red) with no padding. 1, or 0 when the rectangle does not lie
   within the screen or bgr is null. */
int32_t OrvexPlatform_ReadScreen(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* bgr);

/* ---- Messages to X windows ----
   Where the camera library runs on an X display, a window handle that is not a window of this
   library is taken as an X window id. A message posted to it (FrameMessage, ErrorMessage)
   arrives as a ClientMessage event, sent to the client that created the window, with
   message_type the atom named ORVEX_PLATFORM_MESSAGE_ATOM, format 32, and
     data.l[0]  the message number
     data.l[1]  wParam, low 32 bits       data.l[2]  wParam, high 32 bits
     data.l[3]  lParam, low 32 bits       data.l[4]  lParam, high 32 bits
   The halves are those of the 64-bit value of each parameter (lParam sign-extended), so they
   are the same on 32- and 64-bit systems. Xlib may sign-extend each item into its long: mask
   it with 0xFFFFFFFF before putting the halves together. */
#define ORVEX_PLATFORM_MESSAGE_ATOM "ORVEX_MESSAGE"

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_PLATFORM_H */
