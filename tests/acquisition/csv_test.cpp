// The CSV file of the 8-bit raw image.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "acquisition/acquisition_fixture.h"
#include "support/portable.h"

namespace orvex::testing {
namespace {

class CsvTest : public AcquisitionTest {
 protected:
  void SetUp() override {
    AcquisitionTest::SetUp();
    directory_ = MakeTemporaryDirectory("orvex-csv-");
    ASSERT_FALSE(directory_.empty());
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    AcquisitionTest::TearDown();
  }

  // RawImage8 of this size, sample (column, row in memory) = row * 40 + column.
  void MakeRaw(std::int32_t width, std::int32_t height) {
    ASSERT_EQ(context.Images().RawImage8->Create(width, height, 8), 1);
    std::fill_n(context.Images().RawImage8->pixels, context.Images().RawImage8->ByteSize(),
                0xEE);  // padding
    for (std::int32_t row = 0; row < height; ++row) {
      for (std::int32_t column = 0; column < width; ++column) {
        context.Images().RawImage8->pixels[row * context.Images().RawImage8->stride + column] =
            static_cast<std::uint8_t>(row * 40 + column);
      }
    }
  }

  static std::string Line(std::int32_t row, std::int32_t width) {
    std::string line;
    for (std::int32_t column = 0; column < width; ++column) {
      line += std::to_string(static_cast<std::uint8_t>(row * 40 + column));
      line += column + 1 < width ? "," : ";\r\n";
    }
    return line;
  }

  std::string Save(std::int32_t format = 0) {
    const std::string path = (directory_ / "image.csv").string();
    EXPECT_EQ(context.Acquisition().SaveImage(path.c_str(), format), 1);
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path directory_;
};

TEST_F(CsvTest, LinesFollowMemoryRowsWhateverTheWidth) {
  for (std::int32_t width : {8, 9, 1, 17}) {
    MakeRaw(width, 3);
    EXPECT_EQ(Save(), Line(0, width) + Line(1, width) + Line(2, width)) << "width " << width;
  }
  MakeRaw(8, 1);
  EXPECT_EQ(Save(), "0,1,2,3,4,5,6,7;\r\n");
  MakeRaw(9, 1);
  EXPECT_EQ(Save(12345), "0,1,2,3,4,5,6,7,8;\r\n");
  // Three-digit values and the largest one.
  context.Images().RawImage8->pixels[0] = 255;
  context.Images().RawImage8->pixels[1] = 100;
  EXPECT_EQ(Save(), "255,100,2,3,4,5,6,7,8;\r\n");
}

TEST_F(CsvTest, ExistingLongerFileIsTruncated) {
  std::ofstream(directory_ / "image.csv", std::ios::binary) << std::string(5000, 'x');
  MakeRaw(2, 2);
  EXPECT_EQ(Save(), "0,1;\r\n40,41;\r\n");
}

TEST_F(CsvTest, EmptyImageGivesAnEmptyFile) {
  context.Images().RawImage8->Release();
  EXPECT_EQ(Save(), "");
}

TEST_F(CsvTest, SixteenBitFormatsStillWriteTheEightBitImage) {
  context.Settings().format.Color = 1;
  ASSERT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 1);
  MakeRaw(3, 2);
  std::fill_n(context.Images().RawImage16->pixels, context.Images().RawImage16->ByteSize(), 0x77);
  EXPECT_EQ(Save(), Line(0, 3) + Line(1, 3));
}

TEST_F(CsvTest, FailuresRecordTheirCodes) {
  const std::string missing = (directory_ / "missing" / "image.csv").string();
  EXPECT_EQ(context.Acquisition().SaveImage(missing.c_str(), 0), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{9});
  EXPECT_FALSE(std::filesystem::exists(missing));

#ifndef _WIN32
  // A device that takes no byte, as a full disk does: opened, but not written.
  for (std::int32_t width : {3, 5000}) {
    MakeRaw(width, 2);
    EXPECT_EQ(context.Acquisition().SaveImage("/dev/full", 0), 0) << "width " << width;
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{9});
  }
#endif

  CameraContext unlinked;  // never initialized: no device link
  const std::string path = (directory_ / "unlinked.csv").string();
  EXPECT_EQ(unlinked.Acquisition().SaveImage(path.c_str(), 0), 0);
  EXPECT_EQ(unlinked.TakeLastError(), 1);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace orvex::testing
