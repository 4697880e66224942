#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/image_buffer.h"
#include "settings/settings_keys.h"
#include "support/unit_platform.h"

namespace orvex::testing {

struct Geometry {
  std::int32_t TH, EHS, EH, TV, EVS, EV;
};

// Stored settings of a small window, 8-bit gray, so that start-up does not size buffers for
// the whole sensor.
inline void SeedSettings(platform::MemoryRegistryStore& registry, const Geometry& g) {
  using namespace settings;
  const std::string entry = NumberedSubkeyPath(kSizeKeyFormat, 0);
  const std::int32_t values[] = {g.TH, g.TV, g.EH, g.EV, g.EHS, g.EVS, 4};
  for (std::size_t i = 0; i < std::size(kSizeEntryValues); ++i) {
    registry.SetValue(entry, kSizeEntryValues[i], values[i]);
  }
  registry.SetValue(kMainKey, kSizeValue, 0);
  const std::int32_t format[] = {0, 0, 10, 0};
  for (std::size_t i = 0; i < std::size(kFormatValues); ++i) {
    registry.SetValue(kMainKey, kFormatValues[i], format[i]);
  }
}

// A context on the in-memory backends with camera 0 present, a small window of 13 x 6 samples
// at (3, 1) in lines of 20, neutral image settings, and frames whose every byte tells its
// position and the read's sequence number.
class AcquisitionTest : public UnitPlatformTest {
 protected:
  static constexpr platform::WindowHandle kNotify = 0x1001;
  static constexpr platform::WindowHandle kFrames = 0x2002;
  static constexpr std::int32_t TH = 20, EHS = 3, EH = 13, TV = 8, EVS = 1, EV = 6;

  void SetUp() override {
    driver.SetPresent(0, true);
    SeedSettings(registry, Geometry{TH, EHS, EH, TV, EVS, EV});
    ASSERT_EQ(context.Initialize(kNotify), 1);
    ImageSettings& s = context.Settings().image;
    s.Brightness = s.Contrast = s.Hue = s.Saturation = s.Sharpness = 0;
    s.Gamma = 100;
    s.GrayMode = 0;
    context.Settings().analog.AutoIris = 0;
    context.Settings().format.Color = 0;
    ASSERT_EQ(context.SetCaptureWindowEx(TH, EHS, EH, TV, EVS, EV), 1);
    context.Acquisition().frameWindow = kFrames;
    driver.SetFrameFiller([](std::uint32_t sequence, std::uint8_t* bytes, std::uint32_t length) {
      for (std::uint32_t i = 0; i < length; ++i) bytes[i] = Byte(sequence, i);
    });
    Errors();
    windows.Clear();
    driver.ClearLog();
  }

  void TearDown() override {
    driver.StopHolding();
    context.LivePreview().StopPreview();
  }

  static std::uint8_t Byte(std::uint32_t sequence, std::size_t index) {
    return static_cast<std::uint8_t>(index * 5 + sequence * 3 + 1);
  }

  // Sample (column, line) of the window of frame `sequence`: one byte, or two (low first).
  static std::uint32_t Sample(std::uint32_t sequence, std::int32_t column, std::int32_t line,
                              int sampleBytes, std::int32_t lineLength = TH,
                              std::int32_t hStart = EHS, std::int32_t vStart = EVS) {
    const std::size_t s = static_cast<std::size_t>(vStart + line) * lineLength + hStart + column;
    if (sampleBytes == 1) return Byte(sequence, s);
    return Byte(sequence, 2 * s) | Byte(sequence, 2 * s + 1) << 8;
  }

  // The image as the application receives it in memory order (bottomUp 1) for a raw format.
  static std::vector<std::uint8_t> Expected(std::uint32_t sequence, int sampleBytes) {
    const std::uint32_t stride =
        ImageBuffer::StrideFor(EH, static_cast<std::uint16_t>(8 * sampleBytes));
    std::vector<std::uint8_t> image(static_cast<std::size_t>(stride) * EV, 0);
    for (std::int32_t row = 0; row < EV; ++row) {
      for (std::int32_t column = 0; column < EH; ++column) {
        const std::uint32_t v = Sample(sequence, column, row, sampleBytes);
        image[row * stride + column * sampleBytes] = static_cast<std::uint8_t>(v);
        if (sampleBytes == 2)
          image[row * stride + column * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
      }
    }
    return image;
  }

  static std::vector<std::uint8_t> RowsReversed(const std::vector<std::uint8_t>& image,
                                                std::size_t stride) {
    std::vector<std::uint8_t> reversed(image.size());
    const std::size_t rows = image.size() / stride;
    for (std::size_t row = 0; row < rows; ++row) {
      std::copy_n(image.begin() + (rows - 1 - row) * stride, stride,
                  reversed.begin() + row * stride);
    }
    return reversed;
  }

  // The pixels of two images of the window agree; the bytes that pad rows to the stride are
  // not part of the image (the row spreading leaves whatever was there).
  static ::testing::AssertionResult SamePixels(const std::vector<std::uint8_t>& actual,
                                               const std::vector<std::uint8_t>& expected,
                                               int sampleBytes, std::int32_t width = EH) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sampleBytes;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    if (actual.size() != expected.size()) return ::testing::AssertionFailure() << "sizes differ";
    for (std::size_t at = 0; at < actual.size(); at += stride) {
      for (std::size_t i = at; i < at + rowBytes; ++i) {
        if (actual[i] != expected[i]) {
          return ::testing::AssertionFailure()
                 << "row " << at / stride << " byte " << i - at << ": " << int{actual[i]}
                 << " instead of " << int{expected[i]};
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Every recorded error code, newest first.
  std::vector<std::int32_t> Errors() {
    std::vector<std::int32_t> codes;
    for (std::int32_t code; (code = context.TakeLastError()) != 0;) codes.push_back(code);
    return codes;
  }

  // FrameMessages posted so far, as (wParam, lParam).
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> FrameMessages() const {
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> posted;
    for (const auto& m : windows.Messages()) {
      if (m.message == kFrameMessage) {
        EXPECT_EQ(m.window, kFrames);
        posted.emplace_back(m.wParam, m.lParam);
      }
    }
    return posted;
  }

  // Frame-size packets sent: one for each configuration of the link.
  int Configurations() const {
    int count = 0;
    for (const auto& packet : PacketsTo(0)) count += packet[0] == 0x09;
    return count;
  }

  // Waits for what another thread does for certain; the deadline only keeps a broken build
  // from hanging the suite.
  static bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }

  CameraContext context;
};

}  // namespace orvex::testing
