// Raw access to the camera's FPGA registers and serial ROM identification bytes.
#include "api/export_support.h"

using namespace orvex;

extern "C" {

std::int32_t ORVEX_CALL Orvex_WriteSromID(CameraHandle handle, std::int32_t index,
                                          std::int32_t value) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.WriteSromId(index, value); });
}

std::int32_t ORVEX_CALL Orvex_ReadSromID(CameraHandle handle, std::int32_t index,
                                         std::int32_t* ok) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.ReadSromId(index, ok); });
}

std::int32_t ORVEX_CALL Orvex_Fpga_WriteRegister(CameraHandle handle, std::int32_t address,
                                                 std::int32_t value) {
  return WithContextSerialised(
      handle, 0, [=](CameraContext& c) { return c.FpgaWriteRegister(address, value); });
}

std::int32_t ORVEX_CALL Orvex_Fpga_ReadRegister(CameraHandle handle, std::int32_t address,
                                                std::int32_t* ok) {
  return WithContextSerialised(handle, 0,
                               [=](CameraContext& c) { return c.FpgaReadRegister(address, ok); });
}

}  // extern "C"
