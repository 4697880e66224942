// Snapshots, capture and the preview thread on the in-memory backends.
#include <utility>

#include "acquisition/acquisition_fixture.h"

namespace orvex::testing {
namespace {

using Messages = std::vector<std::pair<std::uintptr_t, std::intptr_t>>;

TEST_F(AcquisitionTest, SnapShotDeliversTheWindowInBothRowOrders) {
  for (const auto& [color, sampleBytes] : {std::pair{0, 1}, std::pair{1, 2}}) {
    context.Settings().format.Color = color;
    const std::uint32_t stride =
        ImageBuffer::StrideFor(EH, static_cast<std::uint16_t>(8 * sampleBytes));
    const std::int32_t size = static_cast<std::int32_t>(stride * EV);
    std::vector<std::uint8_t> buffer(size);

    std::uint32_t sequence = driver.FrameReadsStarted();
    ASSERT_EQ(context.Acquisition().SnapShot(buffer.data(), size, 1), 1);
    EXPECT_TRUE(SamePixels(buffer, Expected(sequence, sampleBytes), sampleBytes))
        << "ColorType " << color;
    EXPECT_EQ(driver.RequestsOnPipe(2).back().length, 1024u * sampleBytes);

    sequence = driver.FrameReadsStarted();
    ASSERT_EQ(context.Acquisition().SnapShot(buffer.data(), size, 0), 1);
    EXPECT_TRUE(
        SamePixels(buffer, RowsReversed(Expected(sequence, sampleBytes), stride), sampleBytes));

    // Without a buffer the frame is still read and processed; GetImage hands it out.
    sequence = driver.FrameReadsStarted();
    ASSERT_EQ(context.Acquisition().SnapShot(nullptr, 0, 1), 1);
    ASSERT_EQ(context.Acquisition().GetImage(buffer.data(), size, 1), 1);
    EXPECT_TRUE(SamePixels(buffer, Expected(sequence, sampleBytes), sampleBytes));
  }
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{});
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Idle);
}

TEST_F(AcquisitionTest, CopyImageOutNeedsStrideTimesHeight) {
  ImageBuffer color(windows), gray(windows);
  ASSERT_EQ(color.Create(1280, 1024, 24), 1);
  ASSERT_EQ(gray.Create(1278, 1024, 8), 1);
  std::vector<std::uint8_t> buffer(3932160);
  EXPECT_EQ(context.Acquisition().CopyImageOut(&color, 0, buffer.data(), 3932160), 1);
  EXPECT_EQ(context.Acquisition().CopyImageOut(&gray, 1, buffer.data(), 1280 * 1024), 1);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{});
  EXPECT_TRUE(FrameMessages().empty());

  EXPECT_EQ(context.Acquisition().CopyImageOut(&color, 0, buffer.data(), 3932159), 0);
  EXPECT_EQ(context.Acquisition().CopyImageOut(&gray, 1, buffer.data(), 1280 * 1024 - 1), 0);
  EXPECT_EQ(context.Acquisition().CopyImageOut(&gray, 1, buffer.data(), -1), 0);
  EXPECT_EQ(Errors(), (std::vector<std::int32_t>{5, 5, 5}));
  EXPECT_EQ(FrameMessages(), (Messages{{0, 5}, {0, 5}, {0, 5}}));

  // GetImage of nothing yet made, or into no buffer.
  EXPECT_EQ(context.Acquisition().GetImage(buffer.data(), 100, 0), 0);
  ASSERT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 1);
  EXPECT_EQ(context.Acquisition().GetImage(nullptr, 100, 0), 0);
  EXPECT_EQ(Errors(), (std::vector<std::int32_t>{5, 5}));
}

TEST_F(AcquisitionTest, StateTableRefusesWhatItMust) {
  // Capture prepares once; the snapshots that follow read frames without preparing again.
  EXPECT_EQ(context.Acquisition().Capture(), 1);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Capturing);
  EXPECT_EQ(Configurations(), 1);
  EXPECT_EQ(context.Acquisition().Capture(), 1);
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 1);
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 1);
  EXPECT_EQ(Configurations(), 1);
  EXPECT_EQ(driver.RequestsOnPipe(2).size(), 2u);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Capturing);

  EXPECT_EQ(context.LivePreview().StartPreview(), 0);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Capturing);
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Idle);

  driver.HoldFrames();
  ASSERT_EQ(context.LivePreview().StartPreview(), 1);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Previewing);
  EXPECT_EQ(context.LivePreview().StartPreview(), 1);
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 0);
  EXPECT_EQ(context.Acquisition().Capture(), 0);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Previewing);
  driver.StopHolding();
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Idle);

  // A failed frame read: 0, nothing recorded.
  windows.Clear();
  driver.QueueFailure(2);
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{});
  EXPECT_TRUE(FrameMessages().empty());
}

TEST_F(AcquisitionTest, PreviewCopiesEachFrameAndAnnouncesIt) {
  const std::uint32_t stride = ImageBuffer::StrideFor(EH, 8);
  std::vector<std::uint8_t> buffer(stride * EV);
  context.Acquisition().frameBuffer = buffer.data();
  context.Acquisition().frameBufferSize = static_cast<std::int32_t>(buffer.size());
  context.Acquisition().frameBottomUp = 0;
  clock.SetMultimediaTime(2500);  // the context was made at time 0

  driver.HoldFrames();
  const std::uint32_t first = driver.FrameReadsStarted();
  ASSERT_EQ(context.LivePreview().StartPreview(), 1);
  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == 1; }));

  const auto* info = reinterpret_cast<const FrameInfoRecord*>(FrameMessages()[0].first);
  EXPECT_EQ(info, &context.LivePreview().FrameInfo);
  EXPECT_EQ(FrameMessages()[0].second, 0);
  EXPECT_EQ(info->size, 24);
  EXPECT_EQ(info->width, EH);
  EXPECT_EQ(info->height, EV);
  EXPECT_EQ(info->bitsPerPixel, 8);
  EXPECT_EQ(info->frameRate, 4);  // one frame in 2.5 s, in tenths
  EXPECT_EQ(info->reserved, 0);
  EXPECT_TRUE(SamePixels(buffer, RowsReversed(Expected(first, 1), stride), 1));

  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == 2; }));
  EXPECT_TRUE(SamePixels(buffer, RowsReversed(Expected(first + 1, 1), stride), 1));

  // A buffer one byte short: every frame reports 5, none is announced.
  context.Acquisition().frameBufferSize = static_cast<std::int32_t>(buffer.size()) - 1;
  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == 3; }));
  EXPECT_EQ(FrameMessages()[2], (std::pair<std::uintptr_t, std::intptr_t>{0, 5}));
  EXPECT_TRUE(Eventually([&] { return context.TakeLastError() == 5; }));

  context.Acquisition().frameBufferSize = static_cast<std::int32_t>(buffer.size());
  driver.StopHolding();
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  for (std::uint32_t sleep : clock.Sleeps()) ASSERT_EQ(sleep, 10u);
}

TEST_F(AcquisitionTest, WaitTimeZeroPollsWithoutSleeping) {
  context.Settings().format.WaitTime = 0;
  driver.HoldFrames();
  ASSERT_EQ(context.LivePreview().StartPreview(), 1);
  // Frames one at a time: of frames that arrive together only the newest is taken.
  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == 1; }));
  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == 2; }));
  driver.StopHolding();
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  EXPECT_TRUE(clock.Sleeps().empty());
}

TEST_F(AcquisitionTest, UnplugDuringPreviewEndsTheLoopUntilStopped) {
  driver.HoldFrames();
  const int reads = driver.FrameReadsStarted();
  ASSERT_EQ(context.LivePreview().StartPreview(), 1);
  ASSERT_TRUE(driver.WaitForFrameReads(reads + 1));
  driver.SetPresent(0, false);
  driver.ReleaseFrames(1);  // the waiting read now fails
  const auto stopped = [&] {
    const Messages posted = FrameMessages();
    return !posted.empty() && posted.back() == std::pair<std::uintptr_t, std::intptr_t>{0, 13};
  };
  ASSERT_TRUE(Eventually(stopped));
  // The message goes out just before the error is recorded.
  ASSERT_TRUE(Eventually([&] { return context.TakeLastError() == 13; }));
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{});

  // The preview has ended but the state stays until it is stopped: no restart.
  const std::size_t packets = driver.RequestsOnPipe(0).size();
  EXPECT_EQ(context.LivePreview().StartPreview(), 1);
  EXPECT_EQ(driver.RequestsOnPipe(0).size(), packets);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Previewing);
  EXPECT_EQ(context.LivePreview().StopPreview(), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{6});
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Idle);

  driver.SetPresent(0, true);
  const std::size_t before = FrameMessages().size();
  ASSERT_EQ(context.LivePreview().StartPreview(), 1);
  driver.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return FrameMessages().size() == before + 1; }));
  EXPECT_EQ(FrameMessages().back().first,
            reinterpret_cast<std::uintptr_t>(&context.LivePreview().FrameInfo));
  driver.StopHolding();
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{});
}

TEST_F(AcquisitionTest, SubSamplingKeepsWholeBayerBlocks) {
  for (const std::int32_t subSample : {1, 2}) {
    const std::int32_t step = subSample == 1 ? 2 : 4;
    context.Settings().format.SubSample = subSample;
    ASSERT_EQ(context.SetCaptureWindowEx(TH, 2, 16, TV, 0, 8), 1);
    const std::int32_t w = 16 / step, h = 8 / step;
    const std::uint32_t stride = ImageBuffer::StrideFor(w, 8);
    std::vector<std::uint8_t> buffer(stride * h);
    const std::uint32_t sequence = driver.FrameReadsStarted();
    ASSERT_EQ(
        context.Acquisition().SnapShot(buffer.data(), static_cast<std::int32_t>(buffer.size()), 1),
        1);
    EXPECT_EQ(context.Images().RawImage8->width, w);
    for (std::int32_t row = 0; row < h; ++row) {
      for (std::int32_t column = 0; column < w; ++column) {
        const std::int32_t line = row / 2 * 2 * step + row % 2;
        const std::int32_t sample = column / 2 * 2 * step + column % 2;
        EXPECT_EQ(buffer[row * stride + column], Sample(sequence, sample, line, 1, TH, 2, 0))
            << "SubSample " << subSample << " at " << column << "," << row;
      }
    }
  }
}

// The link, not the context, refuses a window whose total line or frame is too short; and a
// window that changed after Capture no longer fits the images. Neither may write past an image.
TEST_F(AcquisitionTest, WindowsThatDoNotFitTheImagesAreRefused) {
  context.Settings().geometry.TH = EHS + EH - 1;
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{7});
  context.Settings().geometry.TH = TH;

  ASSERT_EQ(context.Acquisition().Capture(), 1);
  ASSERT_EQ(context.SetCaptureWindowEx(TH, 0, EH + 4, TV, 0, EV + 1), 1);
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{8});
  EXPECT_EQ(FrameMessages(), (Messages{{0, 8}}));
  EXPECT_EQ(context.Images().RawImage8->width, EH);

  // The sample width must match the raw image as well.
  EXPECT_EQ(context.LivePreview().StopPreview(), 1);
  context.Settings().format.Color = 1;
  ASSERT_EQ(context.Acquisition().Capture(), 1);
  context.Settings().format.Color = 0;
  EXPECT_EQ(context.Acquisition().SnapShot(nullptr, 0, 0), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{8});
}

}  // namespace
}  // namespace orvex::testing
