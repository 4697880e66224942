#pragma once

#include <cstdint>

namespace orvex {

// The error codes recorded for the application (the public header names them too, and the
// exports check that both agree).
enum class ErrorCode : std::int32_t {
  kNoDevice = 1,
  kDeviceNotFound = 2,
  kThreadStart = 3,
  kWindow = 4,
  kBuffer = 5,
  kTransfer = 6,
  kGeometry = 7,
  kFrameRead = 8,
  kParameter = 9,
  kNotSupported = 11,
  kStreamStopped = 13,
};

// Where an operation records the reason it failed: the camera context's error queue, which
// also posts it to the application's window.
class ErrorReporter {
 public:
  virtual int RecordError(ErrorCode code) = 0;

 protected:
  ~ErrorReporter() = default;
};

}  // namespace orvex
