// The 27 filter values through the exports, over in-memory backends.
#include <OrvexSdk_QX218.h>

#include <climits>
#include <string>
#include <vector>

#include "support/unit_platform.h"

namespace orvex {
namespace {

const std::string kGainKey = "Software\\Helvane\\OrvexQX218Sdk\\Gain_00";
constexpr CameraHandle kUnknown = 0x5A5A5A5A;

using SetFn = std::int32_t (*)(CameraHandle, std::int32_t);
using GetFn = std::int32_t (*)(CameraHandle, std::int32_t*);

struct Row {
  std::int32_t id;
  SetFn set;
  GetFn get;
  std::int32_t min;
  std::int32_t max;
};

// Every id with a range. 6 and 10 take any value and have tests of their own.
const Row kRangedRows[] = {
    {1, Orvex_SetBrightness, Orvex_GetBrightness, -255, 255},
    {2, Orvex_SetContrast, Orvex_GetContrast, -127, 127},
    {3, Orvex_SetHue, Orvex_GetHue, -360, 360},
    {4, Orvex_SetSaturation, Orvex_GetSaturation, -255, 255},
    {5, Orvex_SetSharpness, Orvex_GetSharpness, 0, 30},
    {7, Orvex_SetBayerGainRed, Orvex_GetBayerGainRed, 0, 400},
    {8, Orvex_SetBayerGainGreen, Orvex_GetBayerGainGreen, 0, 400},
    {9, Orvex_SetBayerGainBlue, Orvex_GetBayerGainBlue, 0, 400},
    {11, Orvex_SetGamma, Orvex_GetGamma, 0, 200},
    {12, Orvex_SetBayerMode, Orvex_GetBayerMode, 0, 3},
    {13, Orvex_SetGlobalGain, Orvex_GetGlobalGain, 0, 63},
    {14, Orvex_SetColorGainRed, Orvex_GetColorGainRed, 0, 63},
    {15, Orvex_SetColorGainGreen1, Orvex_GetColorGainGreen1, 0, 63},
    {16, Orvex_SetColorGainGreen2, Orvex_GetColorGainGreen2, 0, 63},
    {17, Orvex_SetColorGainBlue, Orvex_GetColorGainBlue, 0, 63},
    {18, Orvex_SetExposureTime, Orvex_GetExposureTime, 0, 16383},
    {19, Orvex_SetGrayMode, Orvex_GetGrayMode, 0, 2},
    {20, Orvex_SetGrayGainR, Orvex_GetGrayGainR, 0, 255},
    {21, Orvex_SetGrayGainG1, Orvex_GetGrayGainG1, 0, 255},
    {22, Orvex_SetGrayGainG2, Orvex_GetGrayGainG2, 0, 255},
    {23, Orvex_SetGrayGainB, Orvex_GetGrayGainB, 0, 255},
    {24, Orvex_SetGrayOffsetR, Orvex_GetGrayOffsetR, -255, 255},
    {25, Orvex_SetGrayOffsetG1, Orvex_GetGrayOffsetG1, -255, 255},
    {26, Orvex_SetGrayOffsetG2, Orvex_GetGrayOffsetG2, -255, 255},
    {27, Orvex_SetGrayOffsetB, Orvex_GetGrayOffsetB, -255, 255},
};

class FilterValuesTest : public testing::UnitPlatformTest {
 protected:
  void SetUp() override {
    driver.SetPresent(0, true);
    clock.SetRand(1000);  // a handle value other than 0
    handle = Orvex_Initialize(0);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(DrainErrors(), std::vector<std::int32_t>{});
  }
  void TearDown() override {
    if (handle != 0) Orvex_Release(handle);
  }

  // Every error code still queued, newest first.
  std::vector<std::int32_t> DrainErrors() {
    std::vector<std::int32_t> codes;
    for (std::int32_t code; (code = Orvex_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
  }

  std::int32_t Get(std::int32_t id) {
    std::int32_t ok = -1;
    const std::int32_t value = Orvex_GetFilterValue(handle, id, &ok);
    EXPECT_EQ(ok, 1) << "id " << id;
    return value;
  }

  // Values written to register 82 of device 0 since the log was cleared, in order.
  std::vector<std::int32_t> ExposureWrites() const {
    std::vector<std::int32_t> values;
    for (const auto& packet : PacketsTo(0)) {
      if (packet[0] == 0x25 && packet[1] == 82) values.push_back(packet[2] | packet[3] << 8);
    }
    return values;
  }

  // The exposure getter reads the camera; the value the library holds is what it last wrote.
  std::int32_t Held(std::int32_t id) {
    if (id != 18) return Get(id);
    const auto writes = ExposureWrites();
    return writes.empty() ? -1 : writes.back();
  }

  CameraHandle handle = 0;
};

TEST_F(FilterValuesTest, EveryRangeKeepsBothEndsAndRefusesOnePastEach) {
  for (const Row& row : kRangedRows) {
    SCOPED_TRACE("id " + std::to_string(row.id));
    EXPECT_EQ(row.set(handle, row.min), 1);
    EXPECT_EQ(Held(row.id), row.min);
    EXPECT_EQ(Orvex_SetFilterValue(handle, row.id, row.max), 1);
    EXPECT_EQ(Held(row.id), row.max);
    if (row.id != 18) {
      std::int32_t ok = -1;
      EXPECT_EQ(row.get(handle, &ok), row.max);
      EXPECT_EQ(ok, 1);
    }
    EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{});

    EXPECT_EQ(row.set(handle, row.min - 1), 0);
    EXPECT_EQ(Orvex_SetFilterValue(handle, row.id, row.max + 1), 0);
    EXPECT_EQ(Orvex_SetFilterValue(handle, row.id, INT32_MIN), 0);
    EXPECT_EQ(DrainErrors(),
              (std::vector<std::int32_t>{ErrorParameter, ErrorParameter, ErrorParameter}));
    EXPECT_EQ(Held(row.id), row.max);
  }
}

TEST_F(FilterValuesTest, EachIdWritesOnlyItsOwnField) {
  std::vector<Row> rows;
  for (const Row& row : kRangedRows) {
    if (row.id != 18) rows.push_back(row);
  }
  rows.push_back({10, Orvex_SetBayerGainAuto, Orvex_GetBayerGainAuto, 0, 1});

  for (const Row& changed : rows) {
    for (const Row& row : rows) ASSERT_EQ(row.set(handle, row.min), 1);
    ASSERT_EQ(changed.set(handle, changed.max), 1);
    for (const Row& row : rows) {
      // The global gain sets the four colour gains with it.
      const bool follows =
          row.id == changed.id || (changed.id == 13 && row.id >= 14 && row.id <= 17);
      EXPECT_EQ(Get(row.id), follows ? row.max : row.min)
          << "id " << row.id << " after id " << changed.id;
    }
  }
  EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{});
}

TEST_F(FilterValuesTest, PackedGainsAndTheAutoSwitchTakeAnyValue) {
  EXPECT_EQ(Orvex_SetBayerGainRGB(handle, 0x01402010), 1);
  EXPECT_EQ(Get(7), 16);
  EXPECT_EQ(Get(8), 32);
  EXPECT_EQ(Get(9), 64);
  std::int32_t ok = 0;
  EXPECT_EQ(Orvex_GetBayerGainRGB(handle, &ok), 0x00402010);
  EXPECT_EQ(ok, 1);

  EXPECT_EQ(Orvex_SetBayerGainRed(handle, 300), 1);
  EXPECT_EQ(Orvex_GetBayerGainRGB(handle, nullptr), 0x0040202C);  // 300 - 256 = 44

  EXPECT_EQ(Orvex_SetFilterValue(handle, 6, -1), 1);  // bits 24-31 are ignored
  EXPECT_EQ(Get(7), 255);
  EXPECT_EQ(Get(8), 255);
  EXPECT_EQ(Get(9), 255);

  EXPECT_EQ(Orvex_SetBayerGainAuto(handle, 5), 1);
  EXPECT_EQ(Orvex_GetBayerGainAuto(handle, nullptr), 1);
  EXPECT_EQ(Orvex_SetBayerGainAuto(handle, INT32_MIN), 1);
  EXPECT_EQ(Get(10), 1);
  EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{});
}

TEST_F(FilterValuesTest, GlobalGainSetsAllFiveAndARefusedOneNone) {
  for (std::int32_t id = 14; id <= 17; ++id) Orvex_SetFilterValue(handle, id, id);
  EXPECT_EQ(Orvex_SetGlobalGain(handle, 40), 1);
  for (std::int32_t id = 13; id <= 17; ++id) EXPECT_EQ(Get(id), 40) << "id " << id;

  EXPECT_EQ(Orvex_SetGlobalGain(handle, 64), 0);
  EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{ErrorParameter});
  for (std::int32_t id = 13; id <= 17; ++id) EXPECT_EQ(Get(id), 40) << "id " << id;
}

TEST_F(FilterValuesTest, ExposureGoesToRegister82AndIsReadBackFromTheCamera) {
  driver.ClearLog();
  EXPECT_EQ(Orvex_SetExposureTime(handle, 16383), 1);
  auto packets = PacketsTo(0);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ((std::vector<std::uint8_t>(packets[0].begin(), packets[0].begin() + 4)),
            (std::vector<std::uint8_t>{0x25, 82, 0xFF, 0x3F}));

  driver.ClearLog();
  EXPECT_EQ(Orvex_SetExposureTime(handle, 16384), 0);
  EXPECT_EQ(Orvex_SetExposureTime(handle, -1), 0);
  EXPECT_TRUE(PacketsTo(0).empty());
  EXPECT_EQ(DrainErrors(), (std::vector<std::int32_t>{ErrorParameter, ErrorParameter}));

  // The getter asks the camera, whatever the library holds.
  std::vector<std::uint8_t> value(64, 0);
  value[0] = 0x2C;
  value[1] = 0x01;
  driver.QueueReply(std::vector<std::uint8_t>(64, 0x26));
  driver.QueueReply(value);
  std::int32_t ok = 0;
  EXPECT_EQ(Orvex_GetExposureTime(handle, &ok), 300);
  EXPECT_EQ(ok, 1);
  packets = PacketsTo(0);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0][0], 0x26);
  EXPECT_EQ(packets[0][1], 82);

  Orvex_Release(handle);
  handle = 0;
  EXPECT_EQ(registry.Value(kGainKey, "Exposure"), 16383);
}

TEST_F(FilterValuesTest, ExposureWithoutACameraIsStoredButCannotBeReadBack) {
  driver.SetPresent(0, false);
  EXPECT_EQ(Orvex_SetExposureTime(handle, 77), 1);  // stored for the next capture
  std::int32_t ok = 1;
  EXPECT_EQ(Orvex_GetExposureTime(handle, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{ErrorTransfer});

  Orvex_Release(handle);
  handle = 0;
  EXPECT_EQ(registry.Value(kGainKey, "Exposure"), 77);
}

TEST_F(FilterValuesTest, IdsOutsideOneToTwentySevenAreRefused) {
  for (std::int32_t id : {0, 28, -1, INT32_MAX}) {
    SCOPED_TRACE("id " + std::to_string(id));
    EXPECT_EQ(Orvex_SetFilterValue(handle, id, 0), 0);
    std::int32_t ok = 1;
    EXPECT_EQ(Orvex_GetFilterValue(handle, id, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Orvex_GetFilterValue(handle, id, nullptr), 0);
    EXPECT_EQ(DrainErrors(),
              (std::vector<std::int32_t>{ErrorParameter, ErrorParameter, ErrorParameter}));
  }
}

TEST_F(FilterValuesTest, NamedExportsTakeTheHandleLookup) {
  Orvex_SetGamma(handle, 120);
  std::int32_t ok = 7;
  EXPECT_EQ(Orvex_SetGamma(kUnknown, 50), 0);
  EXPECT_EQ(Orvex_GetGamma(kUnknown, &ok), 0);
  EXPECT_EQ(Orvex_SetFilterValue(kUnknown, 0, 0), 0);
  EXPECT_EQ(Orvex_GetFilterValue(kUnknown, 11, &ok), 0);
  EXPECT_EQ(ok, 7);
  EXPECT_EQ(Get(11), 120);
  EXPECT_EQ(DrainErrors(), std::vector<std::int32_t>{});
}

}  // namespace
}  // namespace orvex
