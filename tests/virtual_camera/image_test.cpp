// PNG files as the scene: every kind of PNG is normalised, scaled to cover the sensor and
// mosaicked; a file that cannot be read changes nothing.
#include <cstdio>
#include <fstream>

#include "virtual_camera/vcam_test_support.h"

namespace orvex::vcam::testing {
namespace {

// A minimal PNG writer (stored deflate blocks), so that the test does not read PNGs with the same
// library that the camera uses.
class PngWriter {
 public:
  // rows: packed row bytes without the filter byte.
  static std::vector<uint8_t> Encode(int width, int height, int colorType, int depth,
                                     const std::vector<std::vector<uint8_t>>& rows,
                                     const std::vector<uint8_t>& palette = {},
                                     const std::vector<uint8_t>& transparency = {}) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(&header, static_cast<uint32_t>(width));
    Put32(&header, static_cast<uint32_t>(height));
    header.insert(header.end(),
                  {static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0, 0});
    Chunk(&png, "IHDR", header);
    if (!palette.empty()) Chunk(&png, "PLTE", palette);
    if (!transparency.empty()) Chunk(&png, "tRNS", transparency);

    std::vector<uint8_t> raw;
    for (const auto& row : rows) {
      raw.push_back(0);  // filter: none
      raw.insert(raw.end(), row.begin(), row.end());
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t pos = 0;;) {
      const size_t n = std::min<size_t>(raw.size() - pos, 65535);
      const bool last = pos + n == raw.size();
      z.push_back(last ? 1 : 0);
      z.insert(z.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                         static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)});
      z.insert(z.end(), raw.begin() + static_cast<long>(pos),
               raw.begin() + static_cast<long>(pos + n));
      pos += n;
      if (last) break;
    }
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : raw) {
      a = (a + byte) % 65521;
      b = (b + a) % 65521;
    }
    Put32(&z, b << 16 | a);
    Chunk(&png, "IDAT", z);
    Chunk(&png, "IEND", {});
    return png;
  }

 private:
  static void Put32(std::vector<uint8_t>* out, uint32_t v) {
    out->insert(out->end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                             static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  }
  static void Chunk(std::vector<uint8_t>* png, const char* type, const std::vector<uint8_t>& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : body) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    png->insert(png->end(), body.begin(), body.end());
    Put32(png, ~crc);
  }
};

class ImageTest : public VirtualCameraTest {
 protected:
  void SetUp() override {
    VirtualCameraTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    handle_ = Open(0);
  }
  void TearDown() override {
    OrvexVirtualCamera_CloseHandle(handle_);
    for (const auto& path : files_) std::remove(path.c_str());
    VirtualCameraTest::TearDown();
  }

  std::string Write(const std::vector<uint8_t>& bytes) {
    const std::string path = ::testing::TempDir() + "vcam_" + std::to_string(::orvex::testing::ProcessId()) + "_" +
                             std::to_string(files_.size()) + ".png";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    files_.push_back(path);
    return path;
  }

  // Sample of an 8-bit full frame at line l, image column x.
  uint8_t At(const std::vector<uint8_t>& frame, int line, int x) const {
    return frame[static_cast<size_t>(line) * kLine + kFirstImageSample + static_cast<size_t>(x)];
  }

  intptr_t handle_ = -1;
  std::vector<std::string> files_;
};

TEST_F(ImageTest, RgbImageCoversTheSensorThroughTheColourFilter) {
  // Red, green / blue, white: scaled by 640 and cropped to 1024 lines, each a quadrant.
  const std::string path =
      Write(PngWriter::Encode(2, 2, 2, 8, {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 255, 255, 255}}));
  ASSERT_EQ(OrvexVirtualCamera_LoadImage(0, path.c_str()), 1);
  const std::vector<uint8_t> frame = ReadFrame(handle_, kFullFrame8);
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(At(frame, 0, 0), 0);      // G of red
  EXPECT_EQ(At(frame, 0, 1), 255);    // R of red
  EXPECT_EQ(At(frame, 1, 0), 0);      // B of red
  EXPECT_EQ(At(frame, 511, 639), 0);  // G of red
  EXPECT_EQ(At(frame, 0, 640), 255);  // G of green
  EXPECT_EQ(At(frame, 0, 641), 0);    // R of green
  EXPECT_EQ(At(frame, 513, 0), 255);  // B of blue
  EXPECT_EQ(At(frame, 512, 1), 0);    // R of blue
  EXPECT_EQ(At(frame, 1023, 1278), 255);
  EXPECT_EQ(frame[0], 0);  // blanking stays dark
}

TEST_F(ImageTest, GrayAndPaletteImagesAreNormalised) {
  // One 16-bit gray pixel of half scale fills the sensor.
  ASSERT_EQ(OrvexVirtualCamera_LoadImage(
                0, Write(PngWriter::Encode(1, 1, 0, 16, {{0x80, 0x00}})).c_str()),
            1);
  ASSERT_TRUE(SetSixteenBit(handle_, true));
  std::vector<uint8_t> frame = ReadFrame(handle_, 4 * kLine);
  EXPECT_EQ(Sample16(frame, 39), 512);
  EXPECT_EQ(Sample16(frame, kLine + 1318), 512);
  ASSERT_TRUE(SetSixteenBit(handle_, false));

  // A 4-bit palette image with a transparent entry: two pixels side by side.
  const std::string palette =
      Write(PngWriter::Encode(2, 1, 3, 4, {{0x01}}, {10, 20, 30, 250, 240, 230}, {0}));
  ASSERT_EQ(OrvexVirtualCamera_LoadImage(0, palette.c_str()), 1);
  frame = ReadFrame(handle_, 2 * kLine);
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(At(frame, 0, 0), 20);
  EXPECT_EQ(At(frame, 0, 1), 10);
  EXPECT_EQ(At(frame, 1, 0), 30);
  EXPECT_EQ(At(frame, 0, 641), 250);
  EXPECT_EQ(At(frame, 1, 640), 230);

  // Gray with alpha, 8 bits.
  ASSERT_EQ(
      OrvexVirtualCamera_LoadImage(0, Write(PngWriter::Encode(1, 1, 4, 8, {{77, 0}})).c_str()), 1);
  frame = ReadFrame(handle_, kLine);
  EXPECT_EQ(At(frame, 0, 0), 77);
}

TEST_F(ImageTest, UnreadableFilesLeaveTheSceneAlone) {
  ASSERT_EQ(OrvexVirtualCamera_SetSceneColor(0, 33, 33, 33), 1);
  std::vector<uint8_t> valid = PngWriter::Encode(1, 1, 2, 8, {{1, 2, 3}});
  std::vector<uint8_t> truncated(valid.begin(), valid.end() - 20);
  std::vector<uint8_t> corrupt = valid;
  corrupt[valid.size() - 20] ^= 0xFF;  // inside IDAT: the CRC no longer matches

  EXPECT_EQ(OrvexVirtualCamera_LoadImage(0, "/nonexistent/scene.png"), 0);
  EXPECT_EQ(OrvexVirtualCamera_LoadImage(0, nullptr), 0);
  EXPECT_EQ(
      OrvexVirtualCamera_LoadImage(0, Write({'n', 'o', 't', ' ', 'p', 'n', 'g', '!', '!'}).c_str()),
      0);
  EXPECT_EQ(OrvexVirtualCamera_LoadImage(0, Write(truncated).c_str()), 0);
  EXPECT_EQ(OrvexVirtualCamera_LoadImage(0, Write(corrupt).c_str()), 0);
  EXPECT_EQ(OrvexVirtualCamera_LoadImage(1, Write(valid).c_str()), 0);
  EXPECT_EQ(ReadFrame(handle_, 64)[40], 33);
}

}  // namespace
}  // namespace orvex::vcam::testing
