/**
 * @file orvex/errors.h
 * @brief Names and meanings of the camera library's error codes, for C and C++.
 *
 * The library reports a failure by returning 0 (or -1 from three getters) and records the
 * reason as a number that Orvex_GetLastError reads. These two functions turn such a number
 * into its name (the enumerator of ::OrvexErrorCode) and a sentence for a person. They live
 * in this header only (static inline): nothing more needs to be linked.
 *
 * Codes from 100 on are never recorded by the library. The C++ and Python interfaces use
 * them for failures the library reports with a bare 0 and nothing recorded (a snapshot from
 * an unplugged camera, a size missing from the size table, a call refused because a preview
 * runs); they are listed here so that every interface speaks of them with the same words.
 *
 * @see @ref errors "Handles and errors" for the table of codes with the exports that record
 * each one and what the caller should do.
 */
#ifndef ORVEX_ERRORS_H
#define ORVEX_ERRORS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Codes of the C++ and Python interfaces, never recorded by the library itself. */
enum OrvexInterfaceErrorCode {
  /** The library failed and recorded no reason. */
  ErrorUnreported = 100,
  /** Orvex_SetCaptureWindow found no entry of that size in the size table. */
  ErrorNotInSizeTable = 101,
  /** Orvex_SnapShot read no frame: the camera was unplugged or the transfer failed. */
  ErrorNoFrame = 102,
  /** Refused because a preview runs (or, for a preview, because a capture was prepared). */
  ErrorBusy = 103
};

/** One row of the table behind OrvexError_Name and OrvexError_Text. */
typedef struct OrvexErrorEntry {
  int32_t code;     /**< the number */
  const char* name; /**< the enumerator's name, for example "ErrorNoDevice" */
  const char* text; /**< what it means, one sentence without a full stop */
} OrvexErrorEntry;

/**
 * The table of every code: the library's (1 to 13) and the interfaces' (100 to 103).
 * @param count receives the number of rows when not null.
 * @return the first row; the rows are in ascending order of code.
 */
static inline const OrvexErrorEntry* OrvexError_Table(int32_t* count) {
  static const OrvexErrorEntry table[] = {
      {1, "ErrorNoDevice", "the handle has no camera channel, or a serial ROM access failed"},
      {2, "ErrorDeviceNotFound", "no camera is present at the selected device index"},
      {3, "ErrorThreadStart", "the preview thread or its event could not be created"},
      {4, "ErrorWindow", "the preview window or its device context could not be created"},
      {5, "ErrorBuffer",
       "an image could not be allocated, or the caller's buffer is smaller than the image"},
      {6, "ErrorTransfer",
       "a transfer to or from the camera failed (the camera may have been unplugged)"},
      {7, "ErrorGeometry", "the capture geometry is out of range"},
      {8, "ErrorFrameRead", "a frame could not be copied out of the transfer buffers"},
      {9, "ErrorParameter", "an argument is out of range, or a file cannot be written"},
      {11, "ErrorNotSupported", "this camera does not have the feature"},
      {13, "ErrorStreamStopped",
       "the preview stream stopped on a transfer error (the camera may have been unplugged)"},
      {100, "ErrorUnreported", "the library failed without recording a reason"},
      {101, "ErrorNotInSizeTable", "the size table has no entry of this width and height"},
      {102, "ErrorNoFrame", "no frame arrived: the camera was unplugged or the transfer failed"},
      {103, "ErrorBusy", "refused while a preview runs or a capture is prepared"},
  };
  if (count != 0) *count = (int32_t)(sizeof table / sizeof table[0]);
  return table;
}

/** The table's row of a code; null for a number that is no code (0 included). */
static inline const OrvexErrorEntry* OrvexError_Find(int32_t code) {
  int32_t count = 0;
  const OrvexErrorEntry* table = OrvexError_Table(&count);
  int32_t i;
  for (i = 0; i < count; ++i) {
    if (table[i].code == code) return &table[i];
  }
  return 0;
}

/**
 * The name of an error code, for example "ErrorNoDevice" for 1.
 * @return "NoError" for 0 and "ErrorUnknown" for a number that is no code; never null.
 */
static inline const char* OrvexError_Name(int32_t code) {
  const OrvexErrorEntry* entry = OrvexError_Find(code);
  return entry != 0 ? entry->name : code == 0 ? "NoError" : "ErrorUnknown";
}

/**
 * What an error code means, as a sentence for a person (no full stop at the end).
 * @return "no error" for 0 and "unknown error code" for a number that is no code; never null.
 */
static inline const char* OrvexError_Text(int32_t code) {
  const OrvexErrorEntry* entry = OrvexError_Find(code);
  return entry != 0 ? entry->text : code == 0 ? "no error" : "unknown error code";
}

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_ERRORS_H */
