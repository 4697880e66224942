// Acquisition: preview start and stop, capture, snapshots, image copies and the CSV file.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_StartPreview(CameraHandle handle) {
  return WithContextSerialised(handle, 0,
                               [](CameraContext& c) { return c.LivePreview().StartPreview(); });
}

std::int32_t ORVEX_CALL Orvex_StopPreview(CameraHandle handle) {
  return WithContextSerialised(handle, 0,
                               [](CameraContext& c) { return c.LivePreview().StopPreview(); });
}

std::int32_t ORVEX_CALL Orvex_Capture(CameraHandle handle) {
  return WithContextSerialised(handle, 0,
                               [](CameraContext& c) { return c.Acquisition().Capture(); });
}

std::int32_t ORVEX_CALL Orvex_SnapShot(CameraHandle handle, std::uint8_t* buffer, std::int32_t size,
                                       std::int32_t bottomUp) {
  return WithContextSerialised(handle, 0, [=](CameraContext& c) {
    return c.Acquisition().SnapShot(buffer, size, bottomUp);
  });
}

std::int32_t ORVEX_CALL Orvex_GetImage(CameraHandle handle, std::uint8_t* buffer, std::int32_t size,
                                       std::int32_t bottomUp) {
  return WithContextSerialised(handle, 0, [=](CameraContext& c) {
    return c.Acquisition().GetImage(buffer, size, bottomUp);
  });
}

std::int32_t ORVEX_CALL Orvex_SaveImage(CameraHandle handle, const char* fileName,
                                        std::int32_t format) {
  return WithContextSerialised(
      handle, 0, [=](CameraContext& c) { return c.Acquisition().SaveImage(fileName, format); });
}

}  // extern "C"
