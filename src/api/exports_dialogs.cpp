// The property dialogs: each runs modally on the calling thread and returns once it has closed.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_SetCameraDlg(CameraHandle handle, OrvexWindow parent) {
  return WithContext(handle, 0,
                     [=](CameraContext& c) { return c.RunCameraDialog(ToWindowHandle(parent)); });
}

std::int32_t ORVEX_CALL Orvex_SetAnalogDlg(CameraHandle handle, OrvexWindow parent) {
  return WithContext(handle, 0,
                     [=](CameraContext& c) { return c.RunAnalogDialog(ToWindowHandle(parent)); });
}

std::int32_t ORVEX_CALL Orvex_SetImageDlg(CameraHandle handle, OrvexWindow parent) {
  return WithContext(handle, 0,
                     [=](CameraContext& c) { return c.RunImageDialog(ToWindowHandle(parent)); });
}

}  // extern "C"
