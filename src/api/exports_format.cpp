// Capture format, geometry, preview placement and device selection.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_SetColorMode(CameraHandle handle, std::int32_t bitsPerPixel) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.SetColorMode(bitsPerPixel); });
}

std::int32_t ORVEX_CALL Orvex_GetColorMode(CameraHandle handle) {
  return WithContext(handle, -1, [](CameraContext& c) { return c.GetColorMode(); });
}

std::int32_t ORVEX_CALL Orvex_SetPreviewWindow(CameraHandle handle, OrvexWindow parent,
                                               std::int32_t x, std::int32_t y, std::int32_t width,
                                               std::int32_t height) {
  return WithContextSerialised(handle, 0, [=](CameraContext& c) {
    return c.SetPreviewWindow(ToWindowHandle(parent), Rect{x, y, width, height});
  });
}

std::int32_t ORVEX_CALL Orvex_SetCaptureWindow(CameraHandle handle, std::int32_t width,
                                               std::int32_t height) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.SetCaptureWindow(width, height); });
}

std::int32_t ORVEX_CALL Orvex_SetCaptureWindowEx(CameraHandle handle, std::int32_t TH,
                                                 std::int32_t EHS, std::int32_t EH, std::int32_t TV,
                                                 std::int32_t EVS, std::int32_t EV) {
  return WithContextSerialised(
      handle, 0, [=](CameraContext& c) { return c.SetCaptureWindowEx(TH, EHS, EH, TV, EVS, EV); });
}

std::int32_t ORVEX_CALL Orvex_GetCaptureWindowEx(CameraHandle handle, std::int32_t* TH,
                                                 std::int32_t* EHS, std::int32_t* EH,
                                                 std::int32_t* TV, std::int32_t* EVS,
                                                 std::int32_t* EV) {
  return WithContextSerialised(
      handle, 0, [=](CameraContext& c) { return c.GetCaptureWindowEx(TH, EHS, EH, TV, EVS, EV); });
}

std::int32_t ORVEX_CALL Orvex_SetDeviceNumber(CameraHandle handle, std::int32_t index) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.SetDeviceNumber(index); });
}

std::int32_t ORVEX_CALL Orvex_EnumDevice(CameraHandle handle, char names[10][256]) {
  return WithContext(handle, 0, [=](CameraContext& c) { return c.EnumDevice(names); });
}

std::int32_t ORVEX_CALL Orvex_GetDeviceName(CameraHandle handle, std::int32_t index, char* name,
                                            std::int32_t size) {
  return WithContext(handle, 0,
                     [=](CameraContext& c) { return c.GetDeviceName(index, name, size); });
}

std::int32_t ORVEX_CALL Orvex_GetCameraInfo(CameraHandle handle, CameraInfo* info) {
  return WithContext(handle, 0, [=](CameraContext& c) {
    return c.GetCameraInfo(info != nullptr ? &info->size : nullptr);
  });
}

}  // extern "C"
