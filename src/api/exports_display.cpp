// The preview window: opening it with the preview, and closing both.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_Preview(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& c) { return c.Preview(); });
}

std::int32_t ORVEX_CALL Orvex_CallBackPreview(CameraHandle handle, OrvexWindow frameWindow,
                                              std::uint8_t* buffer, std::int32_t size,
                                              std::int32_t bottomUp) {
  return WithContext(handle, 0, [=](CameraContext& c) {
    return c.CallBackPreview(ToWindowHandle(frameWindow), buffer, size, bottomUp);
  });
}

std::int32_t ORVEX_CALL Orvex_Close(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& c) { return c.Close(); });
}

}  // extern "C"
