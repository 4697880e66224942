// Preparing a capture keeps the images and transfer buffers whose size and depth have not
// changed. Whatever an earlier capture left in them, what the application receives is what new,
// zeroed images would have given.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "acquisition/acquisition_fixture.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"

namespace orvex::testing {
namespace {

class ImageReuseTest : public AcquisitionTest {
 protected:
  // Everything the application can see of one idle snapshot: the snapshot's copy, GetImage,
  // and the CSV file of the 8-bit raw image.
  struct Delivered {
    int result = 0;
    std::vector<std::uint8_t> snapshot, image;
    std::string csv;
    bool operator==(const Delivered&) const = default;
  };

  void SetUp() override {
    AcquisitionTest::SetUp();
    csvPath_ =
        (std::filesystem::temp_directory_path() /
         ("orvex-reuse-" +
          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
          std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".csv"))
            .string();
  }
  void TearDown() override {
    std::remove(csvPath_.c_str());
    AcquisitionTest::TearDown();
  }

  // Frames of random samples from `seed`, the same for every read.
  void UseFrames(unsigned seed) {
    driver.SetFrameFiller([seed](std::uint32_t, std::uint8_t* bytes, std::uint32_t length) {
      std::mt19937 random(seed);
      for (std::uint32_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(random());
    });
  }

  void RandomSettings(std::mt19937& random, std::int32_t color) {
    ImageSettings& s = context.Settings().image;
    auto pick = [&](int lo, int hi) { return lo + static_cast<int>(random() % (hi - lo + 1)); };
    s.Hue = pick(0, 2) == 0 ? 0 : pick(-360, 360);
    s.Saturation = pick(-255, 255);
    s.Gamma = pick(0, 1) == 0 ? 100 : pick(0, 200);
    s.Contrast = pick(0, 1) == 0 ? 0 : pick(-127, 127);
    s.Sharpness = pick(0, 1) == 0 ? 0 : pick(1, 30);
    s.Brightness = pick(0, 1) == 0 ? 0 : pick(-255, 255);
    s.BayerMode = pick(0, 3);
    s.R_Gain = pick(50, 250);
    s.B_Gain = pick(50, 250);
    s.GrayMode = pick(0, 2);
    context.Settings().format.Color = color;
  }

  // Junk in every pixel byte a capture could have written; the fourth byte or word of 32- and
  // 64-bit pixels is written by no stage, so an earlier capture leaves it zero.
  void Scribble(std::mt19937& random) {
    FrameImages& images = context.Images();
    for (ImageBuffer* image :
         {images.RawImage8.get(), images.RawImage16.get(), images.ColorImage24.get(),
          images.ColorImage32.get(), images.ColorImage48.get(), images.ColorImage64.get(),
          images.ScratchImage.get(), images.DisplayImage.get()}) {
      if (image->pixels == nullptr) continue;
      const int bytes = image->bitsPerPixel / 8;
      const bool keepsFourth = bytes == 4 || bytes == 8;
      for (std::size_t i = 0; i < image->ByteSize(); ++i) {
        const std::size_t inRow = i % image->stride;
        if (keepsFourth && inRow % bytes >= static_cast<std::size_t>(3 * bytes / 4)) {
          ASSERT_EQ(image->pixels[i], 0) << "fourth channel written, " << image->bitsPerPixel;
          continue;
        }
        image->pixels[i] = static_cast<std::uint8_t>(random());
      }
    }
  }

  Delivered IdleSnapShot() {
    Delivered d;
    const auto bits =
        static_cast<std::uint16_t>(kBitsForColorType[context.Settings().format.Color]);
    const std::int32_t w = context.Settings().geometry.EH, h = context.Settings().geometry.EV;
    const std::size_t size = static_cast<std::size_t>(ImageBuffer::StrideFor(w, bits)) * h;
    d.snapshot.assign(size, 0xEE);
    d.image.assign(size, 0xEE);
    d.result =
        context.Acquisition().SnapShot(d.snapshot.data(), static_cast<std::int32_t>(size), 1);
    context.Acquisition().GetImage(d.image.data(), static_cast<std::int32_t>(size), 0);
    context.Acquisition().SaveImage(csvPath_.c_str(), 0);
    std::ifstream file(csvPath_);
    d.csv.assign(std::istreambuf_iterator<char>(file), {});
    return d;
  }

  // The same snapshot with the images that preparing makes released first, so that it makes
  // them new, as before any was kept.
  Delivered FreshSnapShot() {
    FrameImages& images = context.Images();
    const std::int32_t color = context.Settings().format.Color;
    if (color <= 3) images.RawImage8->Release();
    if (color == 1 || color >= 4) images.RawImage16->Release();
    if (color != 1) images.ColorImage24->Release();
    images.OutputImageFor(color)->Release();
    images.ScratchImage->Release();
    return IdleSnapShot();
  }

  std::string csvPath_;
};

TEST_F(ImageReuseTest, IdleSnapShotsOverKeptImagesDeliverWhatNewImagesWould) {
  std::mt19937 random(2024);
  // An odd width pads every depth's rows; 37 x 11 leaves a Bayer interior wider than a vector.
  const Geometry geometries[] = {{20, 3, 13, 8, 1, 6}, {48, 5, 37, 13, 2, 11}};
  int compared = 0;
  for (const Geometry& g : geometries) {
    ASSERT_EQ(context.SetCaptureWindowEx(g.TH, g.EHS, g.EH, g.TV, g.EVS, g.EV), 1);
    for (std::int32_t earlier = 0; earlier <= 5; ++earlier) {
      for (std::int32_t color = 0; color <= 5; ++color) {
        // An earlier capture of another format leaves its frames behind, and anything else.
        UseFrames(random());
        RandomSettings(random, earlier);
        ASSERT_EQ(context.Acquisition().SnapShot(nullptr, 0, 1), 1);
        Scribble(random);

        const unsigned seed = random();
        UseFrames(seed);
        RandomSettings(random, color);
        const CameraSettings settings = context.Settings();
        const Delivered kept = IdleSnapShot();
        context.Settings() = settings;  // a measurement may have changed a gain
        const Delivered fresh = FreshSnapShot();
        ASSERT_EQ(kept.result, 1);
        ASSERT_TRUE(kept == fresh)
            << "ColorType " << earlier << " then " << color << ", " << g.EH << " x " << g.EV;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 72);
}

// What the application may look at before a frame has filled the kept images: after Capture,
// and after a snapshot whose frame did not arrive.
TEST_F(ImageReuseTest, KeptImagesReadAsNewBeforeAFrameFillsThem) {
  std::mt19937 random(7);
  for (std::int32_t color = 0; color <= 5; ++color) {
    UseFrames(random());
    context.Settings().format.Color = color;
    ASSERT_EQ(context.Acquisition().SnapShot(nullptr, 0, 1), 1);
    Scribble(random);
    const std::size_t size = context.Images().OutputImageFor(color)->ByteSize();
    std::vector<std::uint8_t> image(size, 0xEE);

    ASSERT_EQ(context.Acquisition().Capture(), 1);
    ASSERT_EQ(context.Acquisition().GetImage(image.data(), static_cast<std::int32_t>(size), 1), 1);
    EXPECT_EQ(image, std::vector<std::uint8_t>(size, 0)) << "after Capture, ColorType " << color;
    ASSERT_EQ(context.LivePreview().StopPreview(), 1);

    Scribble(random);
    driver.QueueFailure(2);
    EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 1), 0);
    ASSERT_EQ(context.Acquisition().GetImage(image.data(), static_cast<std::int32_t>(size), 1), 1);
    EXPECT_EQ(image, std::vector<std::uint8_t>(size, 0)) << "failed frame, ColorType " << color;
  }
}

}  // namespace
}  // namespace orvex::testing
