/**
 * @file orvex/platform.h
 * @brief OrvexPlatform (Linux): message windows, the headless screen, messages to X windows,
 *        and the dialogs of the camera library, headless or drawn on an X display.
 *
 * OrvexPlatform: the window system as the camera library sees it on Linux. Message windows
 * receive what the library posts to a window handle, so that a console application or a test
 * can read it. Windows with a picture make up the headless screen: where no X display serves
 * the camera library, its preview windows are windows of this library, and what it draws lands
 * in them exactly as a screen would show it (OrvexPlatform_ReadScreen).
 *
 * Every function is thread-safe. Handles are opaque and never reused; every window, with a
 * picture or not, receives posted messages.
 *
 * On Windows, OrvexPlatform.dll gives what has a meaning there: the message windows, the window
 * and screen functions over real windows, and the dialog automation over the camera library's
 * real dialog boxes, in the system's language (OrvexPlatform_GetSystemLanguage; it cannot be
 * overridden). The dialog procedures' functions, the headless screen's size and the messages to
 * X windows are Linux's.
 */
#ifndef ORVEX_PLATFORM_H
#define ORVEX_PLATFORM_H

#include <stdint.h>

/* The same window type as OrvexSdk_QX218.h: a window handle on Windows. */
#ifndef ORVEX_WINDOW_DEFINED
#define ORVEX_WINDOW_DEFINED
/** A window: one of this library, or an X window id (as in OrvexSdk_QX218.h); an HWND on
   Windows. */
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

/** A new window that only collects posted messages; 0 when none could be made. The handle is
   opaque: it never equals an X window id nor a handle made earlier in the process. */
OrvexWindow OrvexPlatform_CreateMessageWindow(void);
/** Waits up to timeoutMs (0: no wait, negative: forever) for the oldest posted message: 1 with
   it written through the non-null pointers, 0 when none came in time or the window is unknown. */
int32_t OrvexPlatform_GetMessage(OrvexWindow window, int32_t timeoutMs, uint32_t* message,
                                 uintptr_t* wParam, intptr_t* lParam);
/** Queues a message for the window and returns at once: 1, or 0 for an unknown window. */
int32_t OrvexPlatform_PostMessage(OrvexWindow window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam);
/** 1 when the window existed. Messages still queued are dropped; a waiting GetMessage returns 0.
   The windows inside it go with it. */
int32_t OrvexPlatform_DestroyWindow(OrvexWindow window);

/* ---- The headless screen ----
   Positions are in pixels, x to the right and y downwards. A top-level window is placed on the
   screen, a child window in its parent's client area and clipped to it. Windows stack in the
   order they were made: later windows above earlier ones, children above their parent. The
   screen shows black where no window is. */

/* Style bits of OrvexPlatform_CreateWindowEx. */
#define ORVEX_PLATFORM_VISIBLE 0x1u /**< shown at once */
#define ORVEX_PLATFORM_FRAMED                                       \
  0x2u /**< top level only: a caption and a sizing border, drawn in \
          gray, around the client area */

/** The screen's size, 1 to 16384 pixels each way (1920 x 1080 at start); 1, or 0 when refused.
   Windows keep their places. */
int32_t OrvexPlatform_SetScreenSize(int32_t width, int32_t height);
/** 1 with the size written through the non-null pointers. */
int32_t OrvexPlatform_GetScreenSize(int32_t* width, int32_t* height);

/** An application window, shown, without a frame, its client area white: top-level at (x, y) of
   the screen when parent is 0, else a child at (x, y) of the parent's client area. 0 when the
   parent is not a window with a picture. Sizes are limited to 0 .. 16384. */
OrvexWindow OrvexPlatform_CreateWindow(OrvexWindow parent, int32_t x, int32_t y, int32_t width,
                                       int32_t height);
/** A window with a title and a style (ORVEX_PLATFORM_*), its client area black; x, y, width and
   height are its outer rectangle. Otherwise as OrvexPlatform_CreateWindow. */
OrvexWindow OrvexPlatform_CreateWindowEx(OrvexWindow parent, const char* title, uint32_t style,
                                         int32_t x, int32_t y, int32_t width, int32_t height);
/** Turns a client rectangle into the outer rectangle of a window of this style. */
int32_t OrvexPlatform_AdjustWindowRect(uint32_t style, int32_t* left, int32_t* top, int32_t* right,
                                       int32_t* bottom);
/** Moves and resizes the window's outer rectangle (in its parent's client area). The picture keeps
   what it showed where the old and new client areas overlap; new parts are the background. */
int32_t OrvexPlatform_MoveWindow(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                                 int32_t height);
/** Shows (show non-zero) or hides the window; 1, or 0 for an unknown window. */
int32_t OrvexPlatform_ShowWindow(OrvexWindow window, int32_t show);
/** 1 for a live window (message windows included), else 0. */
int32_t OrvexPlatform_IsWindow(OrvexWindow window);
/** 1 when the window and all windows it lies in are shown; message windows are never visible. */
int32_t OrvexPlatform_IsWindowVisible(OrvexWindow window);
/** The outer rectangle on the screen. 1, or 0 for an unknown window or a message window. For a
   dialog or page: its rectangle where it is shown, as OrvexPlatform_GetItemRect gives those of
   controls. */
int32_t OrvexPlatform_GetWindowRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height);
/** The client area on the screen. 1, or 0 for an unknown window or a message window. Dialogs
   and pages: as OrvexPlatform_GetWindowRect. */
int32_t OrvexPlatform_GetClientRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height);
/** The parent given at creation; 0 for a top-level window or an unknown one. */
OrvexWindow OrvexPlatform_GetParent(OrvexWindow window);
/** The newest live window with exactly this title; 0 when there is none. */
OrvexWindow OrvexPlatform_FindWindow(const char* title);
/** Gives the window the keyboard focus; 1, or 0 for an unknown window. */
int32_t OrvexPlatform_SetFocus(OrvexWindow window);
/** The window with the keyboard focus; 0 when none (or it was destroyed). */
OrvexWindow OrvexPlatform_GetFocus(void);

/** Fills the whole client area with one colour. */
int32_t OrvexPlatform_FillWindow(OrvexWindow window, uint8_t red, uint8_t green, uint8_t blue);
/** Draws width x height pixels at (x, y) of the client area, cut to it. firstRow points at the
   pixels for the block's top row; row k lies at firstRow + k x stride bytes (stride may be
   negative, for rows stored bottom-up). bitsPerPixel 24 (blue, green, red), 32 (blue, green,
   red, unused) or 8 (an index into palette: 256 entries of blue, green, red, unused; gray when
   palette is null). 1, or 0 for an unknown window, a message window or a bad argument. */
int32_t OrvexPlatform_DrawBits(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                               int32_t height, const void* firstRow, intptr_t stride,
                               int32_t bitsPerPixel, const uint8_t* palette);
/** How many times DrawBits has drawn into the window; -1 for an unknown window. */
int32_t OrvexPlatform_DrawCount(OrvexWindow window);
/** The screen as a person would see it: every shown window at its place, children inside their
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
/** The name of the atom that is the message_type of the library's ClientMessage events. */
#define ORVEX_PLATFORM_MESSAGE_ATOM "ORVEX_MESSAGE"

/* ---- Dialogs ----
   The camera library's property dialogs, made from templates that the library describes (the
   way DialogBoxIndirectParam takes one) and kept here as a model of their controls, with the
   behaviour of the common controls they stand for. The model is the one source of every
   control's state; a dialog has one of two forms around it:
   - drawn on an X display, when $DISPLAY names a display that answers within two seconds: a
     real window (on a connection of this library's own, never the application's; drawn with a
     copy of FLTK inside this library that no other library sees) whose controls show the model
     and work with the mouse and the keyboard as in a dialog box, including Tab, Enter, Escape
     and the "&" mnemonics. Sizes follow the dialog units of the template, measured on the font
     the dialog is drawn in. The process's Xlib error handlers and its locale are left as they
     were. One thread draws at a time: a dialog opened on another thread meanwhile is headless.
   - headless, without a picture: a dialog is shown only in the sense that it exists and can be
     driven through the automation API below.
   The automation API works the same on both.

   Threads. A modal dialog belongs to the thread that runs it (its "own thread"): that thread
   creates it, calls its procedure, runs its pages and carries out every call that reaches the
   dialog, one at a time, in the order they came in. A call made on another thread is handed
   over and waits until the dialog's thread has carried it out, as SendMessage would; a call
   that reaches a dialog which ends meanwhile fails as for an unknown window. Procedures run
   without any lock of this library held, so they may call every function here. */

/** Kinds of control (the common controls they stand for). */
#define ORVEX_CONTROL_PUSH_BUTTON 1  /**< sends CLICKED when clicked */
#define ORVEX_CONTROL_CHECK_BOX 2    /**< toggles its check, then sends CLICKED */
#define ORVEX_CONTROL_RADIO_BUTTON 3 /**< checks itself, unchecks its group, sends CLICKED */
#define ORVEX_CONTROL_GROUP_BOX 4    /**< a frame with a caption around other controls */
#define ORVEX_CONTROL_LABEL 5        /**< static text */
#define ORVEX_CONTROL_EDIT 6         /**< sends TEXT_CHANGED whenever its text is set */
#define ORVEX_CONTROL_DROP_DOWN_LIST \
  7 /**< a list of which one item shows; sends SELECTION_CHANGED when a person chooses */
#define ORVEX_CONTROL_TRACKBAR 8 /**< keeps its position within its range */
#define ORVEX_CONTROL_UP_DOWN 9  /**< shows its position in its buddy edit, as a number */
#define ORVEX_CONTROL_TAB 10 /**< tabs over pages; sends TAB_CHANGED when a person chooses one */

/** Style bits of a control. A group of radio buttons runs from a control with
   ORVEX_CONTROL_GROUP up to the next control with it. */
#define ORVEX_CONTROL_DEFAULT 0x01u     /**< the default push button */
#define ORVEX_CONTROL_DISABLED 0x02u    /**< takes no input; shown grayed */
#define ORVEX_CONTROL_HIDDEN 0x04u      /**< not shown */
#define ORVEX_CONTROL_READ_ONLY 0x08u   /**< an edit that cannot be typed into */
#define ORVEX_CONTROL_DIGITS_ONLY 0x10u /**< an edit that refuses typed characters other than 0-9 \
                                         */
#define ORVEX_CONTROL_GROUP 0x20u       /**< starts a group */

/** One control of a template. Places and sizes are in dialog units. */
typedef struct OrvexDialogItem {
  int32_t id;       /**< the control id; -1 for a control nobody addresses */
  int32_t kind;     /**< ORVEX_CONTROL_PUSH_BUTTON ... ORVEX_CONTROL_TAB */
  uint32_t style;   /**< ORVEX_CONTROL_DEFAULT ... ORVEX_CONTROL_GROUP bits */
  int16_t x;        /**< left edge, dialog units */
  int16_t y;        /**< top edge, dialog units */
  int16_t width;    /**< dialog units */
  int16_t height;   /**< dialog units */
  const char* text; /**< UTF-8; null is empty */
} OrvexDialogItem;

/** A dialog or page. Everything is copied when the dialog is made. */
typedef struct OrvexDialogTemplate {
  int32_t templateId;           /**< the resource id it stands for (101 ... 113) */
  const char* title;            /**< UTF-8; null is empty */
  const char* fontName;         /**< the font the sizes were laid out for */
  int32_t pointSize;            /**< that font's size in points */
  int16_t width;                /**< dialog units */
  int16_t height;               /**< dialog units */
  int32_t itemCount;            /**< entries of items */
  const OrvexDialogItem* items; /**< the controls, in tab order */
} OrvexDialogTemplate;

/** Events a dialog procedure receives, with the control's id (0 for INIT). */
#define ORVEX_DIALOG_INIT 1              /**< once, after the controls were made */
#define ORVEX_DIALOG_CLICKED 2           /**< a button, check box or radio button was clicked */
#define ORVEX_DIALOG_TEXT_CHANGED 3      /**< an edit's text was typed or set */
#define ORVEX_DIALOG_SELECTION_CHANGED 4 /**< a person chose a list item */
#define ORVEX_DIALOG_SCROLLED 5          /**< a person moved a trackbar */
#define ORVEX_DIALOG_TAB_CHANGED 6       /**< a person chose another tab */

/** A dialog procedure: receives every ORVEX_DIALOG_* event of its dialog or page, on the
   dialog's own thread, with the context given when the dialog or page was made. */
typedef void (*OrvexDialogProc)(OrvexWindow window, int32_t event, int32_t itemId, void* context);
/** Work posted to a dialog's thread: called once, with run 1 on that thread, or with run 0 (on
   any thread) when the dialog went before it could run, so that the context can be freed. */
typedef void (*OrvexDialogTask)(void* context, int32_t run);

/** Makes a modal dialog, sends it INIT and then carries out what reaches it, on the calling
   thread, until OrvexPlatform_EndDialog; owner (0 for none) is disabled meanwhile and enabled
   again afterwards. The owner may be an X window id: a drawn dialog is then transient for that
   window and centred on it, and the window takes no pointer input until the dialog ends (a
   headless dialog leaves it alone). Returns the result given to
   EndDialog, 0 when the dialog was destroyed, or -1 when the template was refused. Nobody
   closes it but its procedure or a caller of the automation API: a headless dialog that nobody
   drives waits forever, as a dialog on a hidden desktop would. */
intptr_t OrvexPlatform_DialogBox(const OrvexDialogTemplate* dialogTemplate, OrvexWindow owner,
                                 OrvexDialogProc procedure, void* context);
/** A page of tab `tabIndex` of the dialog's tab control tabId, hidden, at (0, 0) of the tab
   control; it has received INIT when this returns. 0 when the dialog is not a running modal
   dialog or the template was refused. */
OrvexWindow OrvexPlatform_CreateDialogPage(const OrvexDialogTemplate* pageTemplate,
                                           OrvexWindow dialog, int32_t tabId, int32_t tabIndex,
                                           OrvexDialogProc procedure, void* context);
/** Ends a modal dialog with this result once the call or event being handled returns. */
int32_t OrvexPlatform_EndDialog(OrvexWindow dialog, intptr_t result);
/** Queues the task for the thread of the dialog or page and returns at once, never waiting for
   that thread: 1, or 0 (the task not called) for a window that is not a dialog or page. */
int32_t OrvexPlatform_PostDialogTask(OrvexWindow window, OrvexDialogTask task, void* context);
/** Moves a window without resizing it, in pixels of its parent's client area (a page: of its
   tab control). */
int32_t OrvexPlatform_SetWindowPosition(OrvexWindow window, int32_t x, int32_t y);
/** 1 when the window takes input, 0 while a modal dialog it owns is open, -1 when unknown. */
int32_t OrvexPlatform_IsWindowEnabled(OrvexWindow window);
/** Whether dialogs made from now on may be drawn on an X display: onScreen non-zero (the
   default) draws them there when a display answers, 0 keeps them headless. Dialogs already
   open keep their form. Returns 1. */
int32_t OrvexPlatform_SetDialogsOnScreen(int32_t onScreen);
/** 1 when a dialog made now would be drawn on an X display, else 0. The first call may wait up
   to two seconds for the display to answer. */
int32_t OrvexPlatform_GetDialogsOnScreen(void);

/* Control operations of a dialog's procedure; 1 done, 0 for an unknown window or control or a
   control of another kind. None of them sends an event, except setting an edit's text. */
/** Any control's text; an edit sends TEXT_CHANGED before this returns. */
int32_t OrvexPlatform_SetDialogItemText(OrvexWindow window, int32_t id, const char* text);
/** Checks (checked non-zero) or unchecks a check box or radio button. */
int32_t OrvexPlatform_CheckItem(OrvexWindow window, int32_t id, int32_t checked);
/** Enables (enable non-zero) or disables a control. */
int32_t OrvexPlatform_EnableItem(OrvexWindow window, int32_t id, int32_t enable);
/** Shows (show non-zero) or hides a control. */
int32_t OrvexPlatform_ShowItem(OrvexWindow window, int32_t id, int32_t show);
/** A list item at index (-1 or the count: at the end); the selection stays on its item. The new
   item's index, or -1. */
int32_t OrvexPlatform_InsertListItem(OrvexWindow window, int32_t id, int32_t index,
                                     const char* text);
/** Removing the selected item leaves no selection. */
int32_t OrvexPlatform_DeleteListItem(OrvexWindow window, int32_t id, int32_t index);
/** -1 for no selection; 0 for an index outside the list, which also leaves no selection. */
int32_t OrvexPlatform_SetListSelection(OrvexWindow window, int32_t id, int32_t index);
/** The position is kept within the range: moved in when the range changes. */
int32_t OrvexPlatform_SetTrackbarRange(OrvexWindow window, int32_t id, int32_t minimum,
                                       int32_t maximum);
/** Moves a trackbar's thumb, kept within its range. */
int32_t OrvexPlatform_SetTrackbarPosition(OrvexWindow window, int32_t id, int32_t position);
/** One tick mark every `frequency` positions. */
int32_t OrvexPlatform_SetTrackbarTickFrequency(OrvexWindow window, int32_t id, int32_t frequency);
/** An up-down's 32-bit range; its position is kept within it. */
int32_t OrvexPlatform_SetUpDownRange(OrvexWindow window, int32_t id, int32_t minimum,
                                     int32_t maximum);
/** Kept within the range; the buddy edit then shows it as its text (and sends TEXT_CHANGED). */
int32_t OrvexPlatform_SetUpDownPosition(OrvexWindow window, int32_t id, int32_t position);
/** The edit buddyId of the same window becomes the up-down's buddy. */
int32_t OrvexPlatform_SetUpDownBuddy(OrvexWindow window, int32_t id, int32_t buddyId);
/** A tab at index (-1 or the count: at the end); the first tab is selected. The index, or -1. */
int32_t OrvexPlatform_InsertTab(OrvexWindow window, int32_t id, int32_t index, const char* text);
/** The selected tab, -1 for none or an unknown control. */
int32_t OrvexPlatform_GetTabSelection(OrvexWindow window, int32_t id);

/** The language of dialogs: 1041 (Japanese) when the first of LC_ALL, LC_MESSAGES and LANG that
   is set and not empty starts with "ja", else 1033 (English). Where dialogs are drawn on an X
   display but no installed font has Japanese glyphs (fontconfig's match for
   "sans-serif:lang=ja"), it is 1033: the toolkit draws a text in one font, so Japanese texts
   would show as empty boxes. */
int32_t OrvexPlatform_GetSystemLanguage(void);
/** Overrides the language for the process: GetSystemLanguage then returns langId as it is; 0
   goes back to the locale's. Returns 1. */
int32_t OrvexPlatform_SetSystemLanguage(int32_t langId);

/* ---- Dialog automation ----
   Drives the library's modal dialogs from another thread as a person would, for an
   application's tests. Each call is carried out on the dialog's own thread and returns after
   the dialog has handled it: the effect of a click or a typed value is visible when it returns.
   A control that the template puts in the dialog itself is reached with the dialog's handle,
   one on a tab page with the page's. An action returns 1 when it was carried out and 0 when it
   was not: for an unknown window or control, and for a control that a person could not reach
   (disabled, hidden, on a hidden page, or in a dialog disabled by a modal dialog above it).
   Queries give 0, or -1 where the result is a count, position, index or flag, for an unknown
   window or control. Texts are UTF-8; a text query returns the text's whole length in bytes and
   writes at most size - 1 bytes of it (whole characters only) and a terminating zero. */

/** The newest open modal dialog of the process, once it has handled INIT; waits up to timeoutMs
   (0: no wait, negative: forever) for one to open. 0 when none. */
OrvexWindow OrvexPlatform_WaitForDialog(int32_t timeoutMs);
/** The template a dialog or page was made from, 0 for any other window. */
int32_t OrvexPlatform_GetTemplateId(OrvexWindow window);
/** The page of tab `tab` of tab control 1001 of the dialog; 0 when there is none. */
OrvexWindow OrvexPlatform_GetDialogPage(OrvexWindow dialog, int32_t tab);
/** The title of any window of this library. */
int32_t OrvexPlatform_GetWindowText(OrvexWindow window, char* buffer, int32_t size);
/** A control's text (an edit's contents, a button's caption). */
int32_t OrvexPlatform_GetItemText(OrvexWindow window, int32_t id, char* buffer, int32_t size);
/** Replaces an edit's text as if typed: the procedure sees the text change. 0 for a control
   other than an edit, a read-only edit, or text with anything but digits for a digits-only one. */
int32_t OrvexPlatform_SetItemText(OrvexWindow window, int32_t id, const char* text);
/** A push button, check box or radio button as if clicked. */
int32_t OrvexPlatform_ClickItem(OrvexWindow window, int32_t id);
/** 1, 0, or -1. Visible is the control's own state: a control on a hidden page may be visible. */
int32_t OrvexPlatform_IsItemChecked(OrvexWindow window, int32_t id);
/** 1 when the control takes input, 0 when disabled, -1 when unknown. */
int32_t OrvexPlatform_IsItemEnabled(OrvexWindow window, int32_t id);
/** 1 when the control itself is shown, 0 when hidden, -1 when unknown. */
int32_t OrvexPlatform_IsItemVisible(OrvexWindow window, int32_t id);
/** Drop-down lists. The selection is -1 when there is none. */
int32_t OrvexPlatform_GetListCount(OrvexWindow window, int32_t id);
/** The selected item of a drop-down list, -1 for none. */
int32_t OrvexPlatform_GetListSelection(OrvexWindow window, int32_t id);
/** The text of item `index` of a drop-down list. */
int32_t OrvexPlatform_GetListItemText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                      int32_t size);
/** Chooses an item as if with the mouse: the procedure sees the selection change. */
int32_t OrvexPlatform_SelectListItem(OrvexWindow window, int32_t id, int32_t index);
/** 1 with the trackbar's state written through the non-null pointers. */
int32_t OrvexPlatform_GetTrackbar(OrvexWindow window, int32_t id, int32_t* position,
                                  int32_t* minimum, int32_t* maximum, int32_t* tickFrequency);
/** Drags the thumb to position, kept within the range; the procedure sees the scroll. */
int32_t OrvexPlatform_MoveTrackbar(OrvexWindow window, int32_t id, int32_t position);
/** Clicks the upper (up non-zero) or the lower arrow of an up-down: its position moves one step
   towards its maximum or its minimum, staying within the range, and its buddy edit shows it
   (the procedure sees the text change). */
int32_t OrvexPlatform_ClickUpDown(OrvexWindow window, int32_t id, int32_t up);
/** 1 with the up-down's state; buddyId is 0 when it has no buddy. Its position is its buddy's
   number when that is a number within the range, as the control reads it back. */
int32_t OrvexPlatform_GetUpDown(OrvexWindow window, int32_t id, int32_t* position, int32_t* minimum,
                                int32_t* maximum, int32_t* buddyId);
/** The number of tabs of a tab control. */
int32_t OrvexPlatform_GetTabCount(OrvexWindow window, int32_t id);
/** The text of tab `index`. */
int32_t OrvexPlatform_GetTabText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                 int32_t size);
/** Chooses a tab as if clicked: the procedure sees the tab change (none when it was chosen). */
int32_t OrvexPlatform_SelectTab(OrvexWindow window, int32_t id, int32_t index);
/** 1 with the control's rectangle on the screen written through the non-null pointers: for a
   drawn dialog in pixels of the X display's root window (where a pointer has to go to reach
   it), for a headless one on the headless screen, with the dialog at its place and a dialog
   unit 1.5 pixels wide and 1.625 high. A drop-down list's rectangle is its closed box. */
int32_t OrvexPlatform_GetItemRect(OrvexWindow window, int32_t id, int32_t* x, int32_t* y,
                                  int32_t* width, int32_t* height);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_PLATFORM_H */
