/*
 * OrvexSdk_QX218: support library of the QX218 USB camera (1280 x 1024 Bayer sensor).
 *
 * Every export except Orvex_Initialize and Orvex_GetDllVersion takes the CameraHandle made by
 * Orvex_Initialize. Exports return 1 for success and 0 for failure unless their comment says
 * otherwise; the reason of a failure is read with Orvex_GetLastError (newest first) and is also
 * posted as ErrorMessage to the window given to Orvex_Initialize. An unknown handle returns 0
 * (-1 for Orvex_GetColorMode, Orvex_GetSubSample and Orvex_GetWaitTime) and records nothing.
 * Getters that take `ok` write 1 (success) or 0 there when it is not null.
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
/* A window of the window system: an X window id, or a window of the OrvexPlatform library. */
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

typedef int32_t CameraHandle;

/* Error codes read with Orvex_GetLastError and posted with ErrorMessage (10 and 12 are unused). */
enum OrvexErrorCode {
  ErrorNoDevice = 1,       /* the handle has no camera channel, or a serial ROM access failed */
  ErrorDeviceNotFound = 2, /* the device index is not present */
  ErrorThreadStart = 3,    /* the preview thread or its event could not be created */
  ErrorWindow = 4,         /* the preview window or its device context could not be created */
  ErrorBuffer = 5,         /* an image could not be made, or the caller's buffer is too small */
  ErrorTransfer = 6,       /* a register transfer or the stream reader failed */
  ErrorGeometry = 7,       /* the capture geometry is out of range */
  ErrorFrameRead = 8,      /* a frame could not be copied out of the transfer buffers */
  ErrorParameter = 9,      /* an argument is out of range, or a file cannot be written */
  ErrorNotSupported = 11,  /* this camera lacks the feature */
  ErrorStreamStopped = 13  /* the preview stream stopped on a transfer error */
};

/* Window messages posted (never sent) by the library. */
enum OrvexMessage {
  FrameMessage = 32770, /* to the frame window: wParam = address of FrameInfo, lParam 0; or
                           wParam 0 and lParam 5, 8 or 13 for a failed frame */
  ErrorMessage = 32771  /* to the notify window: wParam 0, lParam = the error code */
};

/* Filled by Orvex_GetCameraInfo; the caller sets size to at least 36. */
typedef struct CameraInfo {
  int32_t size;
  int32_t maxWidth;    /* 1320: the largest EH + EHS */
  int32_t maxHeight;   /* 1024: the largest EV + EVS */
  int32_t minGain;     /* 0 */
  int32_t maxGain;     /* 63 */
  int32_t reserved[3]; /* 0 */
  int32_t maxLevel;    /* 255 */
} CameraInfo;

/* Describes the last preview frame; posted by address with every FrameMessage. */
typedef struct FrameInfo {
  int32_t size;         /* 24 */
  int32_t width;        /* width of the frame after sub-sampling */
  int32_t height;       /* height of the frame after sub-sampling */
  int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
  int32_t frameRate;    /* measured preview rate in tenths of frames a second */
  int32_t reserved;     /* 0 */
} FrameInfo;

/* --- Lifetime, errors, version --- */

/* Creates a camera handle; 0 only when no memory was left. Start-up failures stay readable
   through Orvex_GetLastError. notifyWindow (may be 0) receives ErrorMessage. */
ORVEX_API CameraHandle ORVEX_CALL Orvex_Initialize(OrvexWindow notifyWindow);
/* Saves the settings, stops the preview and frees the handle; 0 for an unknown handle. */
ORVEX_API int32_t ORVEX_CALL Orvex_Release(CameraHandle handle);
/* Takes the newest recorded error code off the queue of 20; 0 when none is left. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetLastError(CameraHandle handle);
/* Always 2032896 (0x001F0500). */
ORVEX_API int32_t ORVEX_CALL Orvex_GetDllVersion(void);

/* --- Acquisition --- */

/* Opens the preview window (a child of the window set with Orvex_SetPreviewWindow, else a
   top-level window) and starts the preview. */
ORVEX_API int32_t ORVEX_CALL Orvex_Preview(CameraHandle handle);
/* As Orvex_Preview; every frame is also copied into buffer (when not null and size > 0) and
   announced to frameWindow by FrameMessage. buffer must stay valid until the preview stops. */
ORVEX_API int32_t ORVEX_CALL Orvex_CallBackPreview(CameraHandle handle, OrvexWindow frameWindow,
                                                   uint8_t* buffer, int32_t size, int32_t bottomUp);
/* Starts the preview thread and the camera stream; 1 at once when already previewing. */
ORVEX_API int32_t ORVEX_CALL Orvex_StartPreview(CameraHandle handle);
/* Stops the preview or capture; the handle becomes idle. */
ORVEX_API int32_t ORVEX_CALL Orvex_StopPreview(CameraHandle handle);
/* Stops the preview and destroys the preview window; always 1. */
ORVEX_API int32_t ORVEX_CALL Orvex_Close(CameraHandle handle);
/* Reads one frame, processes it and copies it into buffer (skipped when buffer is null or size
   0). Rows go bottom row first when bottomUp is non-zero. Blocks until the frame arrived. */
ORVEX_API int32_t ORVEX_CALL Orvex_SnapShot(CameraHandle handle, uint8_t* buffer, int32_t size,
                                            int32_t bottomUp);
/* Prepares the camera once so that following snapshots start at once. */
ORVEX_API int32_t ORVEX_CALL Orvex_Capture(CameraHandle handle);
/* Copies the last processed image; the buffer needs stride x height bytes, stride being the
   row size rounded up to a multiple of 4. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetImage(CameraHandle handle, uint8_t* buffer, int32_t size,
                                            int32_t bottomUp);
/* Writes the 8-bit raw image as comma-separated text; format is ignored. */
ORVEX_API int32_t ORVEX_CALL Orvex_SaveImage(CameraHandle handle, const char* fileName,
                                             int32_t format);

/* --- Window, geometry, timing, automatic exposure switch --- */

/* Places the next preview window as a child of parent at x, y with width x height; a null
   parent gives a top-level window of the image's size. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetPreviewWindow(CameraHandle handle, OrvexWindow parent,
                                                    int32_t x, int32_t y, int32_t width,
                                                    int32_t height);
/* Selects the first stored size entry of this effective width and height. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetCaptureWindow(CameraHandle handle, int32_t width,
                                                    int32_t height);
/* Sets the capture geometry: total line length TH, window start EHS and width EH, total lines
   TV, window start EVS and height EV. Rejected values stay stored (ErrorGeometry). */
ORVEX_API int32_t ORVEX_CALL Orvex_SetCaptureWindowEx(CameraHandle handle, int32_t TH, int32_t EHS,
                                                      int32_t EH, int32_t TV, int32_t EVS,
                                                      int32_t EV);
/* Reads the capture geometry; null pointers are skipped. Always 1 for a known handle. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetCaptureWindowEx(CameraHandle handle, int32_t* TH,
                                                      int32_t* EHS, int32_t* EH, int32_t* TV,
                                                      int32_t* EVS, int32_t* EV);
/* The effective width EH (not divided by sub-sampling). */
ORVEX_API int32_t ORVEX_CALL Orvex_Width(CameraHandle handle);
/* The effective height EV (not divided by sub-sampling). */
ORVEX_API int32_t ORVEX_CALL Orvex_Height(CameraHandle handle);
/* Only 0 is accepted. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetSubSample(CameraHandle handle, int32_t subSample);
ORVEX_API int32_t ORVEX_CALL Orvex_GetSubSample(CameraHandle handle);
/* Milliseconds the preview loop sleeps before each poll; negative values return 0. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetWaitTime(CameraHandle handle, int32_t milliseconds);
ORVEX_API int32_t ORVEX_CALL Orvex_GetWaitTime(CameraHandle handle);
/* 1 runs the automatic exposure, 0 stops it. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetAutoIris(CameraHandle handle, int32_t mode);
ORVEX_API int32_t ORVEX_CALL Orvex_GetAutoIris(CameraHandle handle, int32_t* ok);

/* --- Format, device, status --- */

/* Output bits per pixel: 8, 16 (gray), 24, 32, 48 or 64 (color). */
ORVEX_API int32_t ORVEX_CALL Orvex_SetColorMode(CameraHandle handle, int32_t bitsPerPixel);
ORVEX_API int32_t ORVEX_CALL Orvex_GetColorMode(CameraHandle handle);
/* Selects camera 0..7; stop the preview first. */
ORVEX_API int32_t ORVEX_CALL Orvex_SetDeviceNumber(CameraHandle handle, int32_t index);
/* Fills 10 slots of 256 bytes with the names of the present cameras, numbered in order of
   presence; returns how many were found. */
ORVEX_API int32_t ORVEX_CALL Orvex_EnumDevice(CameraHandle handle, char names[10][256]);
/* The name of camera index, numbered index + 1; size must be at least 16. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetDeviceName(CameraHandle handle, int32_t index, char* name,
                                                 int32_t size);
ORVEX_API int32_t ORVEX_CALL Orvex_GetCameraInfo(CameraHandle handle, CameraInfo* info);
/* Always 0. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetStatus(CameraHandle handle, int32_t ignored);
/* Always 0, with 0 written to ok. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetSamplingRate(CameraHandle handle, int32_t* ok);
/* Always 0, with 0 written to ok. */
ORVEX_API int32_t ORVEX_CALL Orvex_GetVideoFormat(CameraHandle handle, int32_t* ok);

/* --- Analog controls and filter values, by id 1..27 or by name --- */

ORVEX_API int32_t ORVEX_CALL Orvex_SetFilterValue(CameraHandle handle, int32_t id, int32_t value);
ORVEX_API int32_t ORVEX_CALL Orvex_GetFilterValue(CameraHandle handle, int32_t id, int32_t* ok);

#define ORVEX_FILTER_PAIR(name)                                                     \
  ORVEX_API int32_t ORVEX_CALL Orvex_Set##name(CameraHandle handle, int32_t value); \
  ORVEX_API int32_t ORVEX_CALL Orvex_Get##name(CameraHandle handle, int32_t* ok);
ORVEX_FILTER_PAIR(Brightness)      /* id 1: -255..255 */
ORVEX_FILTER_PAIR(Contrast)        /* id 2: -127..127 */
ORVEX_FILTER_PAIR(Hue)             /* id 3: -360..360 */
ORVEX_FILTER_PAIR(Saturation)      /* id 4: -255..255 */
ORVEX_FILTER_PAIR(Sharpness)       /* id 5: 0..30 */
ORVEX_FILTER_PAIR(BayerGainRGB)    /* id 6: red, green, blue gains in bits 0-7, 8-15, 16-23 */
ORVEX_FILTER_PAIR(BayerGainRed)    /* id 7: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainGreen)  /* id 8: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainBlue)   /* id 9: 0..400 percent */
ORVEX_FILTER_PAIR(BayerGainAuto)   /* id 10: non-zero measures the white balance every frame */
ORVEX_FILTER_PAIR(Gamma)           /* id 11: 0..200, 100 neutral */
ORVEX_FILTER_PAIR(BayerMode)       /* id 12: 0..3, phase of the colour filter */
ORVEX_FILTER_PAIR(GlobalGain)      /* id 13: 0..63 into all five analog gains */
ORVEX_FILTER_PAIR(ColorGainRed)    /* id 14: 0..63 */
ORVEX_FILTER_PAIR(ColorGainGreen1) /* id 15: 0..63 */
ORVEX_FILTER_PAIR(ColorGainGreen2) /* id 16: 0..63 */
ORVEX_FILTER_PAIR(ColorGainBlue)   /* id 17: 0..63 */
ORVEX_FILTER_PAIR(ExposureTime)    /* id 18: 0..16383, written to the camera at once */
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

/* --- Serial ROM identification bytes 0..7 and FPGA registers --- */

ORVEX_API int32_t ORVEX_CALL Orvex_WriteSromID(CameraHandle handle, int32_t index, int32_t value);
ORVEX_API int32_t ORVEX_CALL Orvex_ReadSromID(CameraHandle handle, int32_t index, int32_t* ok);
/* Writes the low 16 bits of value to register address (low 8 bits). */
ORVEX_API int32_t ORVEX_CALL Orvex_Fpga_WriteRegister(CameraHandle handle, int32_t address,
                                                      int32_t value);
/* Returns the 16-bit register value. */
ORVEX_API int32_t ORVEX_CALL Orvex_Fpga_ReadRegister(CameraHandle handle, int32_t address,
                                                     int32_t* ok);

/* --- Property dialogs (modal; 1 after they closed) --- */

ORVEX_API int32_t ORVEX_CALL Orvex_SetCameraDlg(CameraHandle handle, OrvexWindow parent);
ORVEX_API int32_t ORVEX_CALL Orvex_SetAnalogDlg(CameraHandle handle, OrvexWindow parent);
ORVEX_API int32_t ORVEX_CALL Orvex_SetImageDlg(CameraHandle handle, OrvexWindow parent);

/* --- Not supported by this camera: record ErrorNotSupported and return 0 --- */

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

#ifdef __cplusplus
}
#endif

#endif /* ORVEXSDK_QX218_H */
