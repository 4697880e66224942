// Handles, errors and raw camera access through the public headers and the virtual camera.
#include "integration_fixture.h"

namespace {

class FoundationTest : public IntegrationTest {};

TEST_F(FoundationTest, InitializeWithoutCameraReportsFailuresPerOperation) {
  const CameraHandle handle = Orvex_Initialize(window_);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  int32_t ok = 1;
  EXPECT_EQ(Orvex_Fpga_ReadRegister(handle, 0x52, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorTransfer);
  EXPECT_EQ(PostedErrors(), std::vector<intptr_t>{ErrorTransfer});
  EXPECT_EQ(Orvex_Release(handle), 1);
}

TEST_F(FoundationTest, StartupRegistersGoToDeviceZeroAndEachCameraGetsItsExposure) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  ASSERT_EQ(OrvexVirtualCamera_Attach(2), 1);
  const CameraHandle handle = Orvex_Initialize(window_);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x40), 0x11);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 16), 32);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 64), 17);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 132), 1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 128), 1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 140), 1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(2, 16), 0);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(2, 140), 0);
  // The stored exposure of a camera never seen before is 40.
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 82), 40);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(2, 82), 40);
  Orvex_Release(handle);
}

TEST_F(FoundationTest, RegistersAndIdentificationBytesRoundTrip) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  const CameraHandle handle = Orvex_Initialize(window_);
  EXPECT_EQ(Orvex_Fpga_WriteRegister(handle, 0x33, 0xBEEF), 1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x33), 0xBEEF);
  int32_t ok = 0;
  EXPECT_EQ(Orvex_Fpga_ReadRegister(handle, 0x33, &ok), 0xBEEF);
  EXPECT_EQ(ok, 1);

  EXPECT_EQ(Orvex_WriteSromID(handle, 3, 0x5A), 1);
  EXPECT_EQ(OrvexVirtualCamera_GetRomByte(0, 11), 0x5A);
  EXPECT_EQ(Orvex_ReadSromID(handle, 3, &ok), 0x5A);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Orvex_ReadSromID(handle, 8, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorNoDevice);
  Orvex_Release(handle);
}

TEST_F(FoundationTest, UnpluggingIsReportedOnTheNextCommand) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  const CameraHandle handle = Orvex_Initialize(window_);
  ASSERT_EQ(OrvexVirtualCamera_Detach(0), 1);
  EXPECT_EQ(Orvex_Fpga_WriteRegister(handle, 0x52, 10), 0);
  EXPECT_EQ(PostedErrors(), std::vector<intptr_t>{ErrorTransfer});
  EXPECT_EQ(Orvex_Release(handle), 1);
  EXPECT_EQ(Orvex_Release(handle), 0);
}

}  // namespace
