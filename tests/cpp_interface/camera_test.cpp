// The C++ interface (orvex/orvex.hpp) against the virtual camera, through the public headers
// only, built as C++17 as an application would build it.
#include <gtest/gtest.h>
#include <orvex/virtual_camera.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <numeric>
#include <orvex/orvex.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "integration/integration_fixture.h"

namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kLine = 1320;
constexpr std::int32_t kRasterLines = 64;

// A private settings folder (IntegrationTest) and camera 0 delivering frames as fast as they
// are read.
class CameraTest : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
  }

  // 8-bit raster whose every sample is its line number (lines 0..63), zeros below.
  static void SetLineRaster() {
    std::vector<std::uint8_t> raster(static_cast<size_t>(kLine) * kRasterLines);
    for (std::int32_t line = 0; line < kRasterLines; ++line) {
      std::fill_n(raster.begin() + line * kLine, kLine, static_cast<std::uint8_t>(line + 1));
    }
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster.data(), kLine, kRasterLines, 1), 1);
  }

  // Small 8-bit frames as fast as the camera gives them, for previews whose handlers count.
  static void SmallFastGray(orvex::Camera& camera) {
    camera.set_pixel_format(orvex::PixelFormat::Gray8);
    camera.set_geometry(orvex::Geometry::centered(64, 32));
    camera.set_wait_time(1ms);
  }

  static double Mean(const orvex::Frame& frame) {
    double sum = 0;
    for (std::int32_t y = 0; y < frame.height(); ++y) {
      const std::uint8_t* row = frame.row(y);
      sum = std::accumulate(row, row + frame.width() * frame.view().bytes_per_pixel(), sum);
    }
    return sum / (static_cast<double>(frame.width()) * frame.height());
  }

  static std::int32_t CodeOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const std::system_error& error) {
      EXPECT_EQ(&error.code().category(), &orvex::error_category()) << error.what();
      return error.code().value();
    }
    return 0;
  }
};

// Every code of the C header has a name and a text; the category speaks with them.
TEST(ErrorCategoryTest, NamesEveryCodeOfTheLibraryAndTheInterface) {
  struct Known {
    std::int32_t code;
    const char* name;
  };
  const Known known[] = {{ErrorNoDevice, "ErrorNoDevice"},
                         {ErrorDeviceNotFound, "ErrorDeviceNotFound"},
                         {ErrorThreadStart, "ErrorThreadStart"},
                         {ErrorWindow, "ErrorWindow"},
                         {ErrorBuffer, "ErrorBuffer"},
                         {ErrorTransfer, "ErrorTransfer"},
                         {ErrorGeometry, "ErrorGeometry"},
                         {ErrorFrameRead, "ErrorFrameRead"},
                         {ErrorParameter, "ErrorParameter"},
                         {ErrorNotSupported, "ErrorNotSupported"},
                         {ErrorStreamStopped, "ErrorStreamStopped"},
                         {ErrorUnreported, "ErrorUnreported"},
                         {ErrorNotInSizeTable, "ErrorNotInSizeTable"},
                         {ErrorNoFrame, "ErrorNoFrame"},
                         {ErrorBusy, "ErrorBusy"}};
  std::int32_t rows = 0;
  OrvexError_Table(&rows);
  EXPECT_EQ(rows, static_cast<std::int32_t>(std::size(known)));
  for (const Known& k : known) {
    EXPECT_STREQ(OrvexError_Name(k.code), k.name);
    EXPECT_STRNE(OrvexError_Text(k.code), OrvexError_Text(12345));
    const std::error_code code = static_cast<orvex::Error>(k.code);
    EXPECT_EQ(code.message().rfind(std::string(k.name) + " (" + std::to_string(k.code) + "): ", 0),
              0u)
        << code.message();
  }
  EXPECT_STREQ(OrvexError_Name(0), "NoError");
  EXPECT_STREQ(OrvexError_Name(10), "ErrorUnknown");
  EXPECT_STREQ(orvex::error_category().name(), "orvex");
}

TEST_F(CameraTest, OwnsItsHandleAndMovesIt) {
  CameraHandle released = 0;
  {
    orvex::Camera first;
    ASSERT_TRUE(first);
    released = first.handle();
    orvex::Camera second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.handle(), released);
    EXPECT_EQ(CodeOf([&] { first.width(); }), ErrorNoDevice);
    EXPECT_EQ(second.width(), 1280);
  }
  // Gone with the object: the library no longer knows the handle.
  EXPECT_EQ(Orvex_GetWaitTime(released), -1);

  EXPECT_EQ(CodeOf([] { orvex::Camera absent(3); }), ErrorDeviceNotFound);
  OrvexVirtualCamera_Detach(0);
  EXPECT_EQ(CodeOf([] { orvex::Camera none; }), ErrorDeviceNotFound);
}

// Sizes, strides and channel order of every format, with rows top first.
TEST_F(CameraTest, SnapshotsComeTopDownInEveryFormat) {
  orvex::Camera camera;
  camera.set_geometry(orvex::Geometry::centered(642, 10));
  ASSERT_EQ(camera.width(), 642);
  for (const orvex::PixelFormat format :
       {orvex::PixelFormat::Gray8, orvex::PixelFormat::Gray16, orvex::PixelFormat::PseudoColor24,
        orvex::PixelFormat::Bgrx32, orvex::PixelFormat::Bgr48, orvex::PixelFormat::Bgrx64}) {
    camera.set_pixel_format(format);
    const orvex::Frame frame = camera.snapshot();
    EXPECT_EQ(frame.format(), format);
    EXPECT_EQ(frame.width(), 642);
    EXPECT_EQ(frame.height(), 10);
    EXPECT_EQ(frame.stride() % 4, 0);
    EXPECT_GE(frame.stride(), 642 * orvex::bits_per_pixel(format) / 8);
  }

  // Top first: row y is the window's line y.
  SetLineRaster();
  camera.set_pixel_format(orvex::PixelFormat::Gray8);
  camera.set_geometry({kLine, 39, 1280, 1024, 4, 48});
  const orvex::Frame lines = camera.snapshot();
  for (std::int32_t y = 0; y < lines.height(); ++y) ASSERT_EQ(lines.row(y)[100], 4 + y + 1) << y;

  // Blue, green, red order; 16-bit formats hold 10-bit values.
  ASSERT_EQ(OrvexVirtualCamera_SetSceneColor(0, 200, 100, 40), 1);
  camera.set_geometry(orvex::Geometry::centered(64, 64));
  camera.set_pixel_format(orvex::PixelFormat::Bgrx32);
  const orvex::Frame bgrx = camera.snapshot();
  const std::uint8_t* pixel = bgrx.row(32) + 32 * 4;
  EXPECT_NEAR(pixel[0], 40, 3);
  EXPECT_NEAR(pixel[1], 100, 3);
  EXPECT_NEAR(pixel[2], 200, 3);
  camera.set_pixel_format(orvex::PixelFormat::Bgr48);
  const orvex::Frame bgr48 = camera.snapshot();
  const std::uint16_t* words = bgr48.row16(32) + 32 * 3;
  EXPECT_NEAR(words[0], 40 * 1023 / 255, 12);
  EXPECT_NEAR(words[2], 200 * 1023 / 255, 12);
}

// The failures the library reports with a bare 0 get codes of their own.
TEST_F(CameraTest, SilentFailuresBecomeErrors) {
  orvex::Camera camera;
  EXPECT_EQ(CodeOf([&] { camera.set_capture_size(640, 480); }), ErrorNotInSizeTable);
  EXPECT_EQ(CodeOf([&] { camera.set_geometry({1320, 39, 1282, 1024, 0, 1024}); }), ErrorGeometry);
  // A refused geometry stays stored: frames sized from it fail as it did, without trying to
  // make room for a size no accepted geometry has.
  for (const orvex::Geometry& refused : {orvex::Geometry{1320, 39, -8, 1024, 0, 1024},
                                         orvex::Geometry{1320, 39, INT32_MAX, 1024, 0, 1024},
                                         orvex::Geometry{1320, 39, 1280, 1024, 0, 1 << 20}}) {
    EXPECT_EQ(CodeOf([&] { camera.set_geometry(refused); }), ErrorGeometry);
    EXPECT_EQ(CodeOf([&] { camera.snapshot(); }), ErrorGeometry);
    EXPECT_EQ(CodeOf([&] { camera.last_image(); }), ErrorGeometry);
    EXPECT_EQ(CodeOf([&] {
                orvex::Preview preview(camera, [](const orvex::FrameView&, const FrameInfo&) {});
              }),
              ErrorGeometry);
  }
  camera.set_geometry({});
  EXPECT_EQ(CodeOf([&] { camera.set_wait_time(-1ms); }), ErrorParameter);

  // Ranges are checked before the library sees the value; the old value stays.
  camera.set(orvex::Setting::Gamma, 120);
  EXPECT_EQ(CodeOf([&] { camera.set(orvex::Setting::Gamma, 201); }), ErrorParameter);
  EXPECT_EQ(camera.get(orvex::Setting::Gamma), 120);
  EXPECT_EQ(CodeOf([&] { camera.set(orvex::Setting::GrayOffsetB, -256); }), ErrorParameter);
  // A setting made from a number outside the table is refused, not looked up past it.
  for (const std::int32_t id : {0, 28, -5, 1000}) {
    EXPECT_EQ(CodeOf([&] { camera.set(static_cast<orvex::Setting>(id), 0); }), ErrorParameter);
    EXPECT_EQ(CodeOf([&] { camera.get(static_cast<orvex::Setting>(id)); }), ErrorParameter);
  }
  camera.set(orvex::Setting::BayerGainRGB, 0x01402010);
  EXPECT_EQ(camera.get(orvex::Setting::BayerGainRed), 16);

  camera.set_pixel_format(orvex::PixelFormat::Gray8);
  camera.set_geometry(orvex::Geometry::centered(64, 64));
  orvex::Frame frame = camera.snapshot();
  ASSERT_EQ(OrvexVirtualCamera_Detach(0), 1);
  EXPECT_EQ(CodeOf([&] { camera.snapshot(frame); }), ErrorNoFrame);
  EXPECT_EQ(CodeOf([&] { camera.read_register(0); }), ErrorTransfer);
}

// A larger exposure value gives a darker picture; the automatic exposure moves it up on a
// bright scene.
TEST_F(CameraTest, ExposureDirectionAndAutomaticExposure) {
  orvex::Camera camera;
  camera.set_pixel_format(orvex::PixelFormat::Gray8);
  ASSERT_EQ(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_GRAY), 1);
  camera.set(orvex::Setting::ExposureTime, 40);
  const double normal = Mean(camera.snapshot());
  camera.set(orvex::Setting::ExposureTime, 80);
  EXPECT_EQ(camera.get(orvex::Setting::ExposureTime), 80);
  EXPECT_LT(Mean(camera.snapshot()), normal * 0.6);

  camera.set(orvex::Setting::ExposureTime, 40);
  ASSERT_EQ(OrvexVirtualCamera_SetSceneLevel(0, 400), 1);
  camera.set_auto_exposure(true);
  EXPECT_TRUE(camera.auto_exposure());
  for (int i = 0; i < 30; ++i) camera.snapshot();
  EXPECT_GT(camera.get(orvex::Setting::ExposureTime), 100);
  EXPECT_LT(Mean(camera.snapshot()), 200);
}

// A failure throws the code its own call recorded, whatever the calls of another thread on
// the same camera empty from the error queue or add to it meanwhile.
TEST_F(CameraTest, EachFailureKeepsItsOwnCodeBesideAnotherThread) {
  orvex::Camera camera;
  const orvex::Geometry tooWide{kLine, 39, 1282, 1024, 0, 1024};
  std::atomic<bool> done{false};
  std::atomic<std::int32_t> otherWrong{0};
  std::thread other([&] {
    while (!done) {
      camera.width();  // empties the queue before it calls
      if (CodeOf([&] { camera.read_rom_id(9); }) != ErrorNoDevice) ++otherWrong;
    }
  });
  std::int32_t wrong = 0;
  for (int i = 0; i < 30000; ++i) {
    if (CodeOf([&] { camera.set_geometry(tooWide); }) != ErrorGeometry) ++wrong;
  }
  done = true;
  other.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(otherWrong, 0);
}

// A stored SubSample of 1 or 2 (the camera dialog's 1/2, or a settings file) halves or
// quarters every image: sizes, snapshots and preview frames follow it.
// A stored window out of range (H Start 41 with width 1280) opens with the full picture, as the
// library's start-up does, instead of refusing the camera for good.
TEST_F(CameraTest, FramesFollowTheStoredSizeEntry) {
  struct Case {
    std::int32_t subSample;
    std::int32_t hStart;
    std::int32_t width, height;
  };
  for (const Case c : {Case{0, 39, 1280, 1024}, Case{1, 39, 640, 512}, Case{2, 39, 320, 256},
                       Case{0, 41, 1280, 1024}}) {
    SCOPED_TRACE(std::to_string(c.subSample) + " " + std::to_string(c.hStart));
    StoreSettings({{"", {{"Size", 0}, {"Color", 2}, {"SubSample", c.subSample}}},
                   {"Size_00",
                    {{"TH", 1320},
                     {"TV", 1024},
                     {"EH", 1280},
                     {"EV", 1024},
                     {"EHS", c.hStart},
                     {"EVS", 0},
                     {"Buf", 20}}}});
    orvex::Camera camera;
    ASSERT_EQ(Orvex_GetSubSample(camera.handle()), c.subSample);
    camera.set_pixel_format(orvex::PixelFormat::Gray8);
    EXPECT_EQ(camera.geometry().EH, 1280);
    EXPECT_EQ(camera.width(), c.width);
    EXPECT_EQ(camera.height(), c.height);
    const orvex::Frame frame = camera.snapshot();
    EXPECT_EQ(frame.width(), c.width);
    EXPECT_EQ(frame.height(), c.height);
    EXPECT_EQ(camera.last_image().width(), c.width);
    // A frame with the room of the whole window is resized to the image.
    orvex::Frame reused(1280, 1024, orvex::PixelFormat::Gray8);
    camera.snapshot(reused);
    EXPECT_EQ(reused.height(), c.height);

    camera.set_wait_time(1ms);
    std::atomic<std::int32_t> previewWidth{0}, previewHeight{0};
    orvex::Preview preview(camera, [&](const orvex::FrameView& view, const FrameInfo& info) {
      EXPECT_EQ(info.width, view.width());
      previewHeight = view.height();
      previewWidth = view.width();
    });
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (preview.frames() < 1 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(5ms);
    }
    preview.stop();
    EXPECT_EQ(previewWidth, c.width);
    EXPECT_EQ(previewHeight, c.height);
  }
}

TEST_F(CameraTest, PreviewHandsWholeTopDownFramesToItsThread) {
  SetLineRaster();
  orvex::Camera camera;
  camera.set_pixel_format(orvex::PixelFormat::Gray8);
  camera.set_geometry({kLine, 39, 1280, 1024, 0, 32});
  camera.set_wait_time(1ms);

  std::mutex mutex;
  std::condition_variable seen;
  std::vector<std::int32_t> firstColumn;
  std::thread::id thread;
  std::int32_t frames = 0, rate = -1;
  orvex::Preview preview(camera, [&](const orvex::FrameView& frame, const FrameInfo& info) {
    std::lock_guard<std::mutex> lock(mutex);
    thread = std::this_thread::get_id();
    firstColumn.clear();
    for (std::int32_t y = 0; y < frame.height(); ++y) firstColumn.push_back(frame.row(y)[0]);
    rate = info.frameRate;
    EXPECT_EQ(info.width, 1280);
    EXPECT_EQ(info.bitsPerPixel, 8);
    ++frames;
    seen.notify_all();
  });
  EXPECT_TRUE(preview.running());
  EXPECT_EQ(CodeOf([&] { camera.snapshot(); }), ErrorBusy);
  EXPECT_EQ(CodeOf([&] { orvex::Preview second(camera, nullptr); }), ErrorBusy);
  // The camera stays usable beside the preview.
  camera.set(orvex::Setting::Brightness, 0);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(seen.wait_for(lock, 20s, [&] { return frames >= 3; }));
    EXPECT_NE(thread, std::this_thread::get_id());
    ASSERT_EQ(firstColumn.size(), 32u);
    for (std::int32_t y = 0; y < 32; ++y) EXPECT_EQ(firstColumn[y], y + 1);
    EXPECT_GE(rate, 0);
  }
  preview.stop();
  EXPECT_FALSE(preview.running());
  const std::int64_t delivered = preview.frames();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(preview.frames(), delivered);
  EXPECT_EQ(camera.snapshot().height(), 32);  // snapshots work again
}

// Frames announced while on_frame runs are answered by one call with the newest, not by one
// call each after it returns.
TEST_F(CameraTest, ASlowFrameHandlerSkipsFramesInsteadOfFallingBehind) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 5'000), 1);
  orvex::Camera camera;
  camera.set_pixel_format(orvex::PixelFormat::Gray8);
  camera.set_geometry({kLine, 39, 64, 1024, 0, 32});
  camera.set_wait_time(1ms);
  std::atomic<int> calls{0};
  std::atomic<std::int32_t> sentWhenFirstReturned{0};
  // The first call lasts twenty camera frames, counted rather than timed, so that a loaded
  // machine cannot shorten it against what follows.
  orvex::Preview preview(camera, [&](const orvex::FrameView&, const FrameInfo&) {
    if (calls++ != 0) return;
    const std::int32_t until = OrvexVirtualCamera_FramesSent(0) + 20;
    const auto cap = std::chrono::steady_clock::now() + 20s;
    while (OrvexVirtualCamera_FramesSent(0) < until && std::chrono::steady_clock::now() < cap) {
      std::this_thread::sleep_for(1ms);
    }
    sentWhenFirstReturned = OrvexVirtualCamera_FramesSent(0);
  });
  const auto deadline = std::chrono::steady_clock::now() + 40s;
  while (calls < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_GE(calls.load(), 2);
  // Long enough for a backlog of twenty calls to show.
  std::this_thread::sleep_for(100ms);
  preview.stop();
  const std::int32_t sentAfter = OrvexVirtualCamera_FramesSent(0) - sentWhenFirstReturned;
  // One call for the frames of the first, then at most one a frame sent after it; a handler
  // that fell behind would make some twenty more.
  EXPECT_LE(calls.load() - 2, sentAfter + 2)
      << calls.load() << " calls, " << sentAfter << " frames sent after the first call";
}

// A capture stop that would end a running preview's stream is refused, and a handler that threw
// ends the preview where the application can see it.
TEST_F(CameraTest, APreviewEndsOnlyByItsOwnStopOrAFailure) {
  orvex::Camera camera;
  SmallFastGray(camera);
  std::atomic<int> calls{0};
  orvex::Preview preview(camera, [&](const orvex::FrameView&, const FrameInfo&) {
    if (++calls == 3) throw std::runtime_error("handler failed");
  });
  EXPECT_EQ(CodeOf([&] { camera.stop_capture(); }), ErrorBusy);
  ASSERT_TRUE(preview.wait_for_end(20s));
  EXPECT_FALSE(preview.running());
  EXPECT_EQ(calls.load(), 3);
  EXPECT_THROW(preview.stop(), std::runtime_error);
}

// A handler may stop its own preview: the one running is the last, and the camera is free again.
TEST_F(CameraTest, AHandlerStopsItsOwnPreview) {
  orvex::Camera camera;
  SmallFastGray(camera);
  std::atomic<int> calls{0};
  std::atomic<orvex::Preview*> self{nullptr};
  std::promise<int> stoppedAt;
  {
    auto preview =
        std::make_unique<orvex::Preview>(camera, [&](const orvex::FrameView&, const FrameInfo&) {
          const int call = ++calls;
          if (orvex::Preview* p = self.exchange(nullptr)) {
            p->stop();
            stoppedAt.set_value(call);
          }
        });
    self = preview.get();
    auto stopped = stoppedAt.get_future();
    ASSERT_EQ(stopped.wait_for(20s), std::future_status::ready);
    const int last = stopped.get();
    EXPECT_FALSE(preview->running());
    EXPECT_NO_THROW(preview->stop());
    preview.reset();
    EXPECT_EQ(calls.load(), last);
  }
  EXPECT_EQ(camera.snapshot().width(), 64);
}

// Unplugging ends the preview with StreamStopped: to the error function when there is one,
// else thrown by stop().
TEST_F(CameraTest, UnplugEndsThePreviewWithAnError) {
  for (const bool withHandler : {true, false}) {
    ASSERT_TRUE(OrvexVirtualCamera_IsAttached(0) || OrvexVirtualCamera_Attach(0));
    orvex::Camera camera;
    camera.set_geometry(orvex::Geometry::centered(64, 64));
    camera.set_wait_time(1ms);
    std::vector<std::error_code> errors;
    orvex::Preview::ErrorHandler handler;
    if (withHandler) handler = [&](std::error_code code) { errors.push_back(code); };
    orvex::Preview preview(camera, nullptr, handler);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (preview.frames() < 2 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(OrvexVirtualCamera_Detach(0), 1);
    ASSERT_TRUE(preview.wait_for_end(20s));
    EXPECT_FALSE(preview.running());
    EXPECT_EQ(preview.error(), orvex::Error::StreamStopped);
    if (withHandler) {
      EXPECT_NO_THROW(preview.stop());
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors.back(), orvex::Error::StreamStopped);
    } else {
      EXPECT_EQ(CodeOf([&] { preview.stop(); }), ErrorStreamStopped);
    }
  }
}

}  // namespace
