// The frame pacer that the Linux library and the Windows driver share, on a clock of the test's
// own: when frames fall due, which frames are skipped or dropped, what each read receives.
#include "model/frame_pacer.h"

#include <gtest/gtest.h>

namespace orvex::vcam {
namespace {

using Step = FramePacer::Step;
constexpr FramePacer::Nanoseconds kMs = 1'000'000;

void ExpectStep(const Step& step, Step::Kind kind, std::uint64_t value) {
  EXPECT_EQ(step.kind, kind);
  EXPECT_EQ(step.value, value);
}

TEST(FramePacerTest, FramesKeepTheirRhythmAndReadsAfterAPauseGetTheNextOneDue) {
  FramePacer pacer;
  pacer.SetFramePeriod(20'000);
  ASSERT_TRUE(pacer.SharesFrames(64));
  ExpectStep(pacer.Next(64, 1000 * kMs, true), Step::kWaitUntil, 1020 * kMs);
  // The wait ended late: that frame is still the one due, nothing skipped.
  ExpectStep(pacer.Next(64, 1027 * kMs, false), Step::kFrame, 0);
  ExpectStep(pacer.Next(64, 1030 * kMs, true), Step::kWaitUntil, 1040 * kMs);
  // A read that arrives after frames went by unread waits for the next one of the rhythm.
  ExpectStep(pacer.Next(64, 1095 * kMs, true), Step::kWaitUntil, 1100 * kMs);
  ExpectStep(pacer.Next(64, 1100 * kMs, false), Step::kFrame, 4);
  // A new period starts a new rhythm at once.
  pacer.SetFramePeriod(5'000);
  ExpectStep(pacer.Next(64, 1101 * kMs, false), Step::kWaitUntil, 1106 * kMs);
  // The default period follows the frame's bytes on the link (40 MB/s), at least 33.3 ms.
  EXPECT_EQ(FramePacer::DefaultFramePeriod(1351680), 33'792'000u);
  EXPECT_EQ(FramePacer::DefaultFramePeriod(64), FramePacer::kSensorFramePeriod);
}

TEST(FramePacerTest, DropsStallsAndUnpacedReads) {
  FramePacer pacer;
  pacer.SetFramePeriod(0);
  EXPECT_FALSE(pacer.SharesFrames(64));
  pacer.SetDropRate(100);
  ExpectStep(pacer.Next(64, 0, true), Step::kWaitForChange, 0);
  // Every third frame dropped; unpaced, every read makes a frame of its own at once.
  pacer.SetDropRate(34);
  for (std::uint64_t frame : {0, 1, 3, 4, 6}) {
    ExpectStep(pacer.Next(64, 0, false), Step::kFrame, frame);
  }
  EXPECT_EQ(pacer.FramesDropped(), 2u);

  // After a stall a paced camera starts its rhythm when the rate is lowered.
  pacer.SetFramePeriod(10'000);
  pacer.SetDropRate(100);
  ExpectStep(pacer.Next(64, 500 * kMs, false), Step::kWaitForChange, 0);
  pacer.SetDropRate(0);
  ExpectStep(pacer.Next(64, 900 * kMs, false), Step::kWaitUntil, 910 * kMs);
}

TEST(FramePacerTest, ShortFramesGoToTheFirstReadsServedAndOnlyWholeFramesCount) {
  FramePacer pacer;
  pacer.ShortFrames(2);
  EXPECT_EQ(pacer.Serve(100), 50u);
  EXPECT_EQ(pacer.Serve(101), 50u);
  EXPECT_EQ(pacer.Serve(100), 100u);
  EXPECT_EQ(pacer.FramesSent(), 1u);
}

}  // namespace
}  // namespace orvex::vcam
