// Exports that read or write one field of the context directly, and the status stubs.
#include "api/export_support.h"

using namespace orvex;

namespace {

// Sampling rate and video format share one body: nothing to report on this camera.
std::int32_t NothingToReport(CameraHandle handle, std::int32_t* ok) {
  return WithContext(handle, 0, [ok](CameraContext&) {
    if (ok != nullptr) *ok = 0;
    return 0;
  });
}

}  // namespace

extern "C" {

std::int32_t ORVEX_CALL Orvex_Width(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& c) { return c.Settings().geometry.EH.load(); });
}

std::int32_t ORVEX_CALL Orvex_Height(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& c) { return c.Settings().geometry.EV.load(); });
}

std::int32_t ORVEX_CALL Orvex_SetSubSample(CameraHandle handle, std::int32_t subSample) {
  return WithContext(handle, 0, [subSample](CameraContext& c) {
    if (subSample != 0) {
      c.RecordError(ErrorCode::kParameter);
      return 0;
    }
    c.Settings().format.SubSample = subSample;
    return 1;
  });
}

std::int32_t ORVEX_CALL Orvex_GetSubSample(CameraHandle handle) {
  return WithContext(handle, -1,
                     [](CameraContext& c) { return c.Settings().format.SubSample.load(); });
}

std::int32_t ORVEX_CALL Orvex_SetWaitTime(CameraHandle handle, std::int32_t milliseconds) {
  return WithContext(handle, 0, [milliseconds](CameraContext& c) {
    if (milliseconds < 0) return 0;
    c.Settings().format.WaitTime = milliseconds;
    return 1;
  });
}

std::int32_t ORVEX_CALL Orvex_GetWaitTime(CameraHandle handle) {
  return WithContext(handle, -1,
                     [](CameraContext& c) { return c.Settings().format.WaitTime.load(); });
}

std::int32_t ORVEX_CALL Orvex_SetAutoIris(CameraHandle handle, std::int32_t mode) {
  return WithContext(handle, 0, [mode](CameraContext& c) {
    if (mode != 0 && mode != 1) {
      c.RecordError(ErrorCode::kParameter);
      return 0;
    }
    c.Settings().analog.AutoIris = mode;
    return 1;
  });
}

std::int32_t ORVEX_CALL Orvex_GetAutoIris(CameraHandle handle, std::int32_t* ok) {
  return WithContext(handle, 0, [ok](CameraContext& c) {
    if (ok != nullptr) *ok = 1;
    return c.Settings().analog.AutoIris.load();
  });
}

std::int32_t ORVEX_CALL Orvex_GetStatus(CameraHandle handle, std::int32_t) {
  return WithContext(handle, 0, [](CameraContext&) { return 0; });
}

std::int32_t ORVEX_CALL Orvex_GetSamplingRate(CameraHandle handle, std::int32_t* ok) {
  return NothingToReport(handle, ok);
}

std::int32_t ORVEX_CALL Orvex_GetVideoFormat(CameraHandle handle, std::int32_t* ok) {
  return NothingToReport(handle, ok);
}

}  // extern "C"
