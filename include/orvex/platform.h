/*
 * OrvexPlatform: the window system as the camera library sees it on Linux. Message windows
 * receive what the library posts to a window handle, so that a console application or a test
 * can read it.
 */
#ifndef ORVEX_PLATFORM_H
#define ORVEX_PLATFORM_H

#include <stdint.h>

#ifndef ORVEX_WINDOW_DEFINED
#define ORVEX_WINDOW_DEFINED
typedef uintptr_t OrvexWindow;
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
/* 1 when the window existed. Messages still queued are dropped; a waiting GetMessage returns 0. */
int32_t OrvexPlatform_DestroyWindow(OrvexWindow window);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_PLATFORM_H */
