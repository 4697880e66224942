/**
 * @file OrvexSdk_QX218.h
 * @brief OrvexSdk_QX218: support library of the QX218 USB camera (1280 x 1024 Bayer sensor).
 *
 * Every export except Orvex_Initialize and Orvex_GetDllVersion takes the CameraHandle made by
 * Orvex_Initialize. Exports return 1 for success and 0 for failure unless their comment says
 * otherwise; the reason of a failure is read with Orvex_GetLastError (newest first) and is also
 * posted as ErrorMessage to the window given to Orvex_Initialize. An unknown handle returns 0
 * (-1 for Orvex_GetColorMode, Orvex_GetSubSample and Orvex_GetWaitTime) and records nothing.
 * Getters that take `ok` write 1 (success) or 0 there when it is not null (an unknown handle
 * leaves it unwritten).
 *
 * Some failures return 0 and record nothing: Orvex_SnapShot when no frame arrived (an
 * unplugged camera), Orvex_SetCaptureWindow for a size missing from the size table, calls
 * refused because of the acquisition state, Orvex_SetWaitTime with a negative time. The names
 * and meanings of the codes are in orvex/errors.h; the C++ interface is orvex/orvex.hpp.
 *
 * Threads (@ref threads):
 * - Different handles may be used from different threads at the same time, without limits:
 *   one thread per camera is the usual design.
 * - One handle from several threads never corrupts memory. Orvex_SnapShot (with its wait for
 *   the frame), Orvex_Capture, Orvex_StartPreview, Orvex_StopPreview, Orvex_GetImage,
 *   Orvex_SaveImage, the colour mode, geometry, preview placement and device exports, the
 *   settings exports (Orvex_SetFilterValue, Orvex_GetFilterValue and the named pairs), the
 *   register and serial ROM exports run one at a time per handle: a second call waits for the
 *   first. Orvex_GetLastError, Orvex_Width, Orvex_Height, Orvex_GetColorMode, the sub-sample,
 *   wait time and auto iris pairs, Orvex_EnumDevice, Orvex_GetDeviceName and
 *   Orvex_GetCameraInfo never wait. Orvex_Preview, Orvex_CallBackPreview and Orvex_Close meet
 *   another thread's opening or closing of the same preview window without waiting for it: the
 *   preview calls return 0 with ErrorWindow, Orvex_Close stops the preview and leaves the
 *   window to the other call. A dialog holds nothing while it is open.
 * - Orvex_Release makes the handle unknown to calls that start later, waits for the calls still
 *   running on other threads (a snapshot for its frame, a dialog for its user), and returns
 *   once no preview of the handle writes anything any more.
 * - While a preview runs, leave the colour mode, geometry and device as they are: the library
 *   takes a change, but every frame after it fails with ErrorFrameRead until the preview is
 *   stopped and started again (@ref threads).
 *
 * Things that surprise a new user, each explained where it belongs:
 * - The default colour mode, 24 bits, is a false-colour map of the raw sensor samples; a
 *   colour picture is 32, 48 or 64 bits (@ref pixel_formats).
 * - bottomUp = 1 gives the top row of the picture (the camera's first line) first, as image
 *   files and most libraries want it; bottomUp = 0 gives the bottom row first.
 * - Orvex_SetCaptureWindow accepts only sizes of the stored size table; any window is set with
 *   Orvex_SetCaptureWindowEx (@ref geometry).
 * - Gamma 101..200 are exponents 1.1..11: 150 (exponent 6) is almost black (@ref pipeline).
 * - A larger ExposureTime gives a darker picture on this camera.
 *
 * @see @ref index "the reference" for the topics.
 */
#ifndef ORVEXSDK_QX218_H
#define ORVEXSDK_QX218_H

#include <stdint.h>

#ifndef ORVEX_WINDOW_DEFINED
#define ORVEX_WINDOW_DEFINED
#if defined(_WIN32)
#include <windows.h>
typedef HWND OrvexWindow;
#else
/** A window of the window system: an X window id, or a window of the OrvexPlatform library
    (an HWND on Windows). Messages posted to it: @ref preview. */
typedef uintptr_t OrvexWindow;
#endif
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define ORVEX_CALL __cdecl
#else
#define ORVEX_CALL
#endif

#if !defined(ORVEX_API)
#if defined(_WIN32)
#define ORVEX_API
#else
#define ORVEX_API __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A camera handle made by Orvex_Initialize; valid until Orvex_Release returns 1 for it. */
typedef int32_t CameraHandle;

/** Error codes read with Orvex_GetLastError and posted with ErrorMessage (10 and 12 are unused).
    OrvexError_Name and OrvexError_Text (orvex/errors.h) give their names and meanings; the
    table in @ref errors lists the exports that record each and what to do. */
enum OrvexErrorCode {
  ErrorNoDevice = 1,       /**< the handle has no camera channel, or a serial ROM access failed */
  ErrorDeviceNotFound = 2, /**< the device index is not present */
  ErrorThreadStart = 3,    /**< the preview thread or its event could not be created */
  ErrorWindow = 4,         /**< the preview window or its device context could not be created */
  ErrorBuffer = 5,         /**< an image could not be made, or the caller's buffer is too small */
  ErrorTransfer = 6,       /**< a register transfer or the stream reader failed */
  ErrorGeometry = 7,       /**< the capture geometry is out of range */
  ErrorFrameRead = 8,      /**< a frame could not be copied out of the transfer buffers */
  ErrorParameter = 9,      /**< an argument is out of range, or a file cannot be written */
  ErrorNotSupported = 11,  /**< this camera lacks the feature */
  ErrorStreamStopped = 13  /**< the preview stream stopped on a transfer error */
};

/** Window messages posted (never sent) by the library; on X they arrive as ClientMessage
    events (orvex/platform.h, @ref preview). */
enum OrvexMessage {
  FrameMessage = 32770, /**< to the frame window: wParam = address of FrameInfo, lParam 0; or
                           wParam 0 and lParam 5, 8 or 13 for a failed frame */
  ErrorMessage = 32771  /**< to the notify window: wParam 0, lParam = the error code */
};

/** Filled by Orvex_GetCameraInfo; the caller sets size to at least 36. */
typedef struct CameraInfo {
  int32_t size;        /**< set by the caller: the record's bytes, at least 36 */
  int32_t maxWidth;    /**< 1320: the largest EH + EHS */
  int32_t maxHeight;   /**< 1024: the largest EV + EVS */
  int32_t minGain;     /**< 0 */
  int32_t maxGain;     /**< 63 */
  int32_t reserved[3]; /**< 0 */
  int32_t maxLevel;    /**< 255 */
} CameraInfo;

/** Describes the last preview frame; posted by address with every FrameMessage. The library
    rewrites it with the next frame: copy it while handling the message. */
typedef struct FrameInfo {
  int32_t size;         /**< 24 */
  int32_t width;        /**< width of the frame after sub-sampling */
  int32_t height;       /**< height of the frame after sub-sampling */
  int32_t bitsPerPixel; /**< 8, 16, 24, 32, 48 or 64 */
  int32_t frameRate;    /**< measured preview rate in tenths of frames a second */
  int32_t reserved;     /**< 0 */
} FrameInfo;

/** @name Lifetime, errors, version */
/** @{ */

/** Creates a camera handle: probes the cameras present now (device 0 selected), loads this
    user's settings (@ref settings_storage) and writes the stored exposure to each camera.
    0 only when no memory was left; a handle is returned even when no camera is attached or
    start-up failed (read Orvex_GetLastError: ErrorBuffer, ErrorGeometry). Cameras plugged in
    later are seen only by a new handle.
    @param notifyWindow receives ErrorMessage for every recorded error; may be 0. */
ORVEX_API CameraHandle ORVEX_CALL Orvex_Initialize(OrvexWindow notifyWindow);
/** Saves the analog, filter and gray settings, stops the preview, destroys the preview window
    and frees the handle; 0 for an unknown handle. Settings changed by the exports reach the
    settings store only here (or when the device changes). */
ORVEX_API int32_t ORVEX_CALL Orvex_Release(CameraHandle handle);
/** Takes the newest recorded error code off the handle's queue of 20 (a stack: newest first,
    the oldest dropped beyond 20); 0 when none is left. Names: OrvexError_Name. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetLastError(CameraHandle handle);
/** Always 2032896 (0x001F0500): version 31.5, the major version in the high half, the minor
    one in bits 8 to 15 (a release number would take bits 0 to 7). */
ORVEX_API int32_t ORVEX_CALL Orvex_GetDllVersion(void);

/** @} */
/** @name Acquisition
    While a preview runs, do not change the colour mode, geometry or device; snapshots are
    refused. See @ref preview and @ref threads. */
/** @{ */

/** Opens the preview window (a child of the window set with Orvex_SetPreviewWindow, else a
    top-level window of the image's size) and starts the preview. No frame messages are
    posted. A second call replaces the window of the first. When the window cannot be made:
    0 with ErrorWindow, and a preview that was running stops. */
ORVEX_API int32_t ORVEX_CALL Orvex_Preview(CameraHandle handle);
/** As Orvex_Preview; every frame is also copied into buffer (when not null and size not 0) and
    then announced to frameWindow by FrameMessage with the address of FrameInfo. buffer must
    stay valid until the preview stops, and for as long as Orvex_StartPreview may start it
    again: a restarted preview delivers where the last Orvex_CallBackPreview said (Orvex_Preview
    clears that). The next frame may already be overwriting buffer (and FrameInfo) while the
    message is handled. A size below stride x height (a negative one too) makes every frame
    fail with FrameMessage (0, ErrorBuffer). bottomUp as for Orvex_SnapShot.
    @param frameWindow receives FrameMessage (a message window, an X window, an HWND). */
ORVEX_API int32_t ORVEX_CALL Orvex_CallBackPreview(CameraHandle handle, OrvexWindow frameWindow,
                                                   uint8_t* buffer, int32_t size, int32_t bottomUp);
/** Starts the preview thread and the camera stream with whatever preview window exists (none:
    frames are processed and announced, not drawn). 1 at once when already previewing, also
    after the stream stopped on an error (call Orvex_StopPreview first); 0 with nothing
    recorded after Orvex_Capture. */
ORVEX_API int32_t ORVEX_CALL Orvex_StartPreview(CameraHandle handle);
/** Stops the preview (or what Orvex_Capture prepared); the handle becomes idle. After the
    stream stopped on an error (ErrorStreamStopped) it returns 0 with ErrorTransfer recorded,
    and the handle is idle all the same. */
ORVEX_API int32_t ORVEX_CALL Orvex_StopPreview(CameraHandle handle);
/** Stops the preview and destroys the preview window; always 1. On Windows a window opened by
    another thread goes once that thread handles its messages, as only it may destroy it. */
ORVEX_API int32_t ORVEX_CALL Orvex_Close(CameraHandle handle);
/** Reads one frame, processes it and copies it into buffer (skipped when buffer is null or size
    0; Orvex_GetImage gives it later). Blocks until the frame arrived.
    Rows: bottomUp = 1 gives the top row of the picture (the camera's first line) first,
    bottomUp = 0 the bottom row first (@ref pixel_formats). The buffer needs stride x height
    bytes, stride = (width x bits a pixel / 8) rounded up to a multiple of 4.
    Returns 0 with nothing recorded when no frame arrived (the camera was unplugged, or the
    transfer failed) and while a preview runs. After Orvex_Capture, a colour mode or window size
    set since, or another device selected, makes it return 0 with ErrorFrameRead: call
    Orvex_StopPreview, or Orvex_Capture after it, to prepare for the new one. */
ORVEX_API int32_t ORVEX_CALL Orvex_SnapShot(CameraHandle handle, uint8_t* buffer, int32_t size,
                                            int32_t bottomUp);
/** Prepares the camera once so that following snapshots start at once; Orvex_StopPreview
    ends it. 0 with nothing recorded while a preview runs. */
ORVEX_API int32_t ORVEX_CALL Orvex_Capture(CameraHandle handle);
/** Copies the last processed image (a whole frame, also while a preview runs); the buffer
    needs stride x height bytes, stride being the row size rounded up to a multiple of 4.
    bottomUp as for Orvex_SnapShot. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetImage(CameraHandle handle, uint8_t* buffer, int32_t size,
                                            int32_t bottomUp);
/** Writes the 8-bit raw image as comma-separated text: one line a row in the camera's order,
    values separated by ",", ";" and CR LF at each row's end. In the 48- and 64-bit modes it
    holds whatever 8-bit frame came last; in the 16-bit mode the last preview frame narrowed
    to 8 bits, or zeros after a 16-bit snapshot. format is ignored. A file that cannot be
    written records ErrorParameter. */
ORVEX_API int32_t ORVEX_CALL Orvex_SaveImage(CameraHandle handle, const char* fileName,
                                             int32_t format);

/** @} */
/** @name Window, geometry, timing, automatic exposure switch */
/** @{ */

/** Places the next preview window as a child of parent at x, y with width x height (the
    frames are scaled to it); a null parent gives a top-level window of the image's size,
    centred on the screen. Takes effect at the next Orvex_Preview or Orvex_CallBackPreview. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetPreviewWindow(CameraHandle handle, OrvexWindow parent,
                                                    int32_t x, int32_t y, int32_t width,
                                                    int32_t height);
/** Selects the first entry of the stored size table ("Size_00", "Size_01", ...) whose width
    and height are these. Only sizes in the table are accepted: any other returns 0 with
    nothing recorded (the first-run table holds 1280 x 1024 only). Any window is set with
    Orvex_SetCaptureWindowEx; @ref geometry has a worked example. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetCaptureWindow(CameraHandle handle, int32_t width,
                                                    int32_t height);
/** Sets the capture geometry: total line length TH, window start EHS and width EH, total lines
    TV, window start EVS and height EV, in sensor samples and lines. The picture is samples 39
    to 1318 of lines 0 to 1023; EH + EHS <= 1320 and EV + EVS <= 1024. 640 x 480 in the middle:
    (1320, 359, 640, 1024, 272, 480). Rejected values record ErrorGeometry and stay stored, so
    the next capture fails too until a valid geometry is set. Stop a preview first. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetCaptureWindowEx(CameraHandle handle, int32_t TH, int32_t EHS,
                                                      int32_t EH, int32_t TV, int32_t EVS,
                                                      int32_t EV);
/** Reads the capture geometry; null pointers are skipped. Always 1 for a known handle. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetCaptureWindowEx(CameraHandle handle, int32_t* TH,
                                                      int32_t* EHS, int32_t* EH, int32_t* TV,
                                                      int32_t* EVS, int32_t* EV);
/** The effective width EH, not divided by sub-sampling (with a stored sub-sampling of 1 or 2
    the images are EH / 2 or EH / 4 wide). */
ORVEX_API int32_t ORVEX_CALL Orvex_Width(CameraHandle handle);
/** The effective height EV, not divided by sub-sampling (the images are EV / 2 or EV / 4 high
    with a stored sub-sampling of 1 or 2). */
ORVEX_API int32_t ORVEX_CALL Orvex_Height(CameraHandle handle);
/** Only 0 is accepted (anything else records ErrorParameter); a stored 1 or 2 halves or
    quarters the output size. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetSubSample(CameraHandle handle, int32_t subSample);
/** The sub-sampling setting, 0, 1 or 2; -1 for an unknown handle. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetSubSample(CameraHandle handle);
/** Milliseconds the preview loop sleeps before each poll for a frame (10 at first, 0 polls
    without sleeping); read for every frame. A negative value returns 0 and records nothing. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetWaitTime(CameraHandle handle, int32_t milliseconds);
/** The preview's wait in milliseconds; -1 for an unknown handle. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetWaitTime(CameraHandle handle);
/** 1 runs the automatic exposure, 0 stops it (other values record ErrorParameter). It
    measures every third frame, of snapshots and previews alike, and moves ExposureTime within
    0..255 (a bright picture raises it: larger values are darker). @ref pipeline */
ORVEX_API int32_t ORVEX_CALL Orvex_SetAutoIris(CameraHandle handle, int32_t mode);
/** The automatic exposure mode: 0 off, 1 exposure (2, automatic gain, only from stored
    settings). */
ORVEX_API int32_t ORVEX_CALL Orvex_GetAutoIris(CameraHandle handle, int32_t* ok);

/** @} */
/** @name Format, device, status */
/** @{ */

/** Output bits per pixel: 8, 16 (gray), 24, 32, 48 or 64; others record ErrorParameter.
    24, the first-run default, is a false-colour map of the raw sensor samples, not a colour
    picture: use 32 (blue, green, red, spare bytes), 48 or 64 for colour (@ref pixel_formats).
    Takes effect at the next snapshot or preview; stop a preview first. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetColorMode(CameraHandle handle, int32_t bitsPerPixel);
/** 8, 16, 24, 32, 48 or 64; -1 for an unknown handle or a damaged stored value. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetColorMode(CameraHandle handle);
/** Selects camera 0..7 (as probed when the handle was made; ErrorDeviceNotFound otherwise).
    Saves the analog settings of the camera left; the new camera's gains start at 0 and its
    exposure is read from it. Stop the preview first. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetDeviceNumber(CameraHandle handle, int32_t index);
/** Fills 10 slots of 256 bytes with the names of the cameras present when the handle was
    made ("OrvexQX218_01", ...), numbered in order of presence; returns how many were found. */
ORVEX_API int32_t ORVEX_CALL Orvex_EnumDevice(CameraHandle handle, char names[10][256]);
/** The name of camera index, numbered index + 1 ("OrvexQX218_01" for 0); size must be at
    least 16 (else ErrorParameter). An index outside 0..7 returns 0 with nothing recorded; a
    missing camera records ErrorDeviceNotFound. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetDeviceName(CameraHandle handle, int32_t index, char* name,
                                                 int32_t size);
/** Fills CameraInfo (the caller sets info->size to at least 36, else ErrorBuffer). */
ORVEX_API int32_t ORVEX_CALL Orvex_GetCameraInfo(CameraHandle handle, CameraInfo* info);
/** Always 0. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetStatus(CameraHandle handle, int32_t ignored);
/** Always 0, with 0 written to ok; records nothing. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetSamplingRate(CameraHandle handle, int32_t* ok);
/** Always 0, with 0 written to ok; records nothing. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetVideoFormat(CameraHandle handle, int32_t* ok);

/** @} */
/** @name Analog controls and filter values, by id 1..27 or by name
    Each setting has an id for these two functions and a pair of exports of its own
    (Orvex_SetGamma, Orvex_GetGamma, ...). Values outside a setting's range record
    ErrorParameter and change nothing; a change reaches the next frame. Ranges, curves and the
    order of the stages: @ref pipeline. */
/** @{ */

/** Sets setting id 1..27 (see the list below); ErrorParameter for an unknown id or a value
    outside the setting's range. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetFilterValue(CameraHandle handle, int32_t id, int32_t value);
/** Reads setting id 1..27; ok receives 1, or 0 with ErrorParameter for an unknown id. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetFilterValue(CameraHandle handle, int32_t id, int32_t* ok);

/* One pair of exports a setting: Orvex_Set<name>(handle, value), Orvex_Get<name>(handle, ok).
   Each is documented in the reference (@ref pipeline). */
#define ORVEX_FILTER_PAIR(name)                                                     \
  ORVEX_API int32_t ORVEX_CALL Orvex_Set##name(CameraHandle handle, int32_t value); \
  ORVEX_API int32_t ORVEX_CALL Orvex_Get##name(CameraHandle handle, int32_t* ok);
ORVEX_FILTER_PAIR(Brightness)      /* id 1: -255..255, 0 off; > 0 brighter up to x11 */
ORVEX_FILTER_PAIR(Contrast)        /* id 2: -127..127, 0 off */
ORVEX_FILTER_PAIR(Hue)             /* id 3: -360..360 degrees, colour modes only */
ORVEX_FILTER_PAIR(Saturation)      /* id 4: -255..255, colour modes only */
ORVEX_FILTER_PAIR(Sharpness)       /* id 5: 0..30, 0 off */
ORVEX_FILTER_PAIR(BayerGainRGB)    /* id 6: red, green, blue gains in bits 0-7, 8-15, 16-23 */
ORVEX_FILTER_PAIR(BayerGainRed)    /* id 7: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainGreen)  /* id 8: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainBlue)   /* id 9: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainAuto)   /* id 10: non-zero measures the white balance every frame */
ORVEX_FILTER_PAIR(Gamma)           /* id 11: 0..200, 100 neutral; 101..200: exponent 1.1..11 */
ORVEX_FILTER_PAIR(BayerMode)       /* id 12: 0..3, phase of the colour filter */
ORVEX_FILTER_PAIR(GlobalGain)      /* id 13: 0..63 into all five analog gains */
ORVEX_FILTER_PAIR(ColorGainRed)    /* id 14: 0..63 */
ORVEX_FILTER_PAIR(ColorGainGreen1) /* id 15: 0..63 */
ORVEX_FILTER_PAIR(ColorGainGreen2) /* id 16: 0..63 */
ORVEX_FILTER_PAIR(ColorGainBlue)   /* id 17: 0..63 */
ORVEX_FILTER_PAIR(ExposureTime)    /* id 18: 0..16383, written to the camera at once (kept for
                                      the next capture, and still 1, when the camera does not
                                      take it; the getter reads the camera, ErrorTransfer when
                                      it does not answer); larger is darker */
ORVEX_FILTER_PAIR(GrayMode)        /* id 19: 0 raw, 1 gray correction, 2 luminance */
ORVEX_FILTER_PAIR(GrayGainR)       /* id 20: 0..255, 128 = x1 */
ORVEX_FILTER_PAIR(GrayGainG1)      /* id 21: 0..255 */
ORVEX_FILTER_PAIR(GrayGainG2)      /* id 22: 0..255 */
ORVEX_FILTER_PAIR(GrayGainB)       /* id 23: 0..255 */
ORVEX_FILTER_PAIR(GrayOffsetR)     /* id 24: -255..255 */
ORVEX_FILTER_PAIR(GrayOffsetG1)    /* id 25: -255..255 */
ORVEX_FILTER_PAIR(GrayOffsetG2)    /* id 26: -255..255 */
ORVEX_FILTER_PAIR(GrayOffsetB)     /* id 27: -255..255 */
#undef ORVEX_FILTER_PAIR

/** @} */
/** @name Serial ROM identification bytes 0..7 and FPGA registers */
/** @{ */

/** Writes identification byte index 0..7 of the serial ROM; ErrorNoDevice for another index
    or when the camera did not receive the write (unplugged). */
ORVEX_API int32_t ORVEX_CALL Orvex_WriteSromID(CameraHandle handle, int32_t index, int32_t value);
/** Reads identification byte index 0..7 of the serial ROM; ok 0 and ErrorNoDevice on failure. */
ORVEX_API int32_t ORVEX_CALL Orvex_ReadSromID(CameraHandle handle, int32_t index, int32_t* ok);
/** Writes the low 16 bits of value to register address (low 8 bits); ErrorTransfer when the
    camera does not answer (unplugged). */
ORVEX_API int32_t ORVEX_CALL Orvex_Fpga_WriteRegister(CameraHandle handle, int32_t address,
                                                      int32_t value);
/** Returns the 16-bit register value; ok 0 and ErrorTransfer when the camera does not answer. */
ORVEX_API int32_t ORVEX_CALL Orvex_Fpga_ReadRegister(CameraHandle handle, int32_t address,
                                                     int32_t* ok);

/** @} */
/** @name Property dialogs
    The library's own modal dialogs for the capture format, the analog controls and the image
    filters, in Japanese when the system's language is Japanese (1041) and in English otherwise.
    Each runs on the calling thread and returns once the dialog has closed: 1 whatever button
    closed it, 0 with ErrorNoDevice (nothing shown) when the handle has no camera link, or with
    ErrorWindow when the dialog could not be made. parent owns the dialog and takes no input
    while it is open: an HWND on Windows; on Linux an X window id, a window of OrvexPlatform, or
    0 for none. On Linux the dialogs are OrvexPlatform's: without a screen they have no picture
    and wait until they are worked through its automation API (@ref dialogs). */
/** @{ */

/** The camera property dialog: colour type, an entry of the stored size table or a new custom
    size, and the wait time (the sub-sample and clock lists are shown, not changeable). It
    edits the stored settings only: Apply and OK write the format and the size table ("Custom"
    adds an entry, "Size_nn", above "Custom"), and after OK the handle takes the stored colour
    type, size and wait time. A running preview (or Orvex_Capture) is stopped while the dialog
    is open and started again after it, whatever button closed it, unless the application
    started, stopped or closed the preview (or called Orvex_Capture) meanwhile: the acquisition
    then stays as the application left it, one it started being stopped and started again
    around the taking of the format chosen with OK. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetCameraDlg(CameraHandle handle, OrvexWindow parent);
/** The analog dialog: the exposure, the automatic exposure switch, and the analog gains (shown,
    not changeable on this camera). Opening it sets the five gains to 0 and reads the exposure
    from the camera. Changes are live: the exposure reaches the camera as it is typed or
    dragged, and "Default" writes 40 at once. While it is open, the automatic exposure shows
    its new values in it. Cancel puts the exposure (in the camera too), the automatic exposure
    switch, the gains and the Bayer mode back as they were once the gains had been cleared. The
    settings are stored when the handle is released. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetAnalogDlg(CameraHandle handle, OrvexWindow parent);
/** The image dialog: brightness, contrast, hue, saturation, sharpness, the white balance gains,
    gamma, Bayer mode and white balance; for the gray colour modes (8 and 16 bits) only
    brightness, contrast, sharpness and gamma of these, and a second tab with the gray
    correction and gray balance. Every change reaches the next preview frame; white and gray
    balance measurements show their gains in the open dialog. Cancel puts every one of these
    settings back as it was when the dialog opened. The settings are stored when the handle is
    released. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetImageDlg(CameraHandle handle, OrvexWindow parent);

/** @} */
/** @name Not supported by this camera
    Each records ErrorNotSupported and returns 0; arguments after the handle are ignored. */
/** @{ */

/** Not supported by this camera: records ErrorNotSupported and returns 0 (as every export of
    this group). */
ORVEX_API int32_t ORVEX_CALL Orvex_Fps(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_GetCameraType(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetCameraType(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_GetHalfClock(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetHalfClock(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_GetIOPort(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetIOPort(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_GetMirrorH(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetMirrorH(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_GetMirrorV(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetMirrorV(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_ReadRegister(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_WriteRegister(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetSamplingRate(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_SetCrossbar(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_Record(CameraHandle handle, ...);
ORVEX_API int32_t ORVEX_CALL Orvex_Trigger(CameraHandle handle, ...);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* ORVEXSDK_QX218_H */
