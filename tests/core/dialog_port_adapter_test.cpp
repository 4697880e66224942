// The context's side of the dialogs: a dialog that removes its view may go at once, so removal
// must wait for a frame that may still be using the view; the camera dialog starts again only
// an acquisition it paused itself.
#include "core/dialog_port_adapter.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <vector>

#include "core/camera_context.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

// A dialog's two views, counting what the acquisition tells them.
struct CountingViews final : ImageDialogView, AnalogDialogView {
  void Refresh() override { ++refreshed; }
  void SetItemInt(int, std::int32_t) override { ++shown; }
  int refreshed = 0;
  int shown = 0;
};

class DialogPortAdapterTest : public testing::UnitPlatformTest {
 protected:
  DialogPortAdapterTest() {
    driver.SetPresent(0, true);
    context.Initialize(0);
    // A small gray window keeps the preview's frames cheap.
    context.SetCaptureWindowEx(20, 3, 13, 8, 1, 6);
    context.Settings().format.Color = 0;
  }

  // Tells the open dialogs once, as a measurement does, counting from 0.
  void Tell(std::vector<CountingViews>& views) {
    for (CountingViews& v : views) v.refreshed = v.shown = 0;
    context.Views().RefreshImageDialogs();
    context.Views().ShowInAnalogDialogs(1027, 1);
  }
  // Which of `views` both their kinds of dialog told.
  std::vector<bool> Told(std::vector<CountingViews>& views) {
    Tell(views);
    std::vector<bool> told;
    for (const CountingViews& v : views) {
      EXPECT_EQ(v.refreshed, v.shown);
      told.push_back(v.refreshed == 1);
    }
    return told;
  }

  CameraContext context;
  DialogPortAdapter port{context};
};

TEST_F(DialogPortAdapterTest, RemovingAViewWaitsForTheFrameInProgress) {
  std::vector<CountingViews> views(1);
  port.AddAnalogDialog(&views[0]);
  port.AddImageDialog(&views[0]);
  for (const bool analog : {true, false}) {
    std::future<void> removed;
    {
      // A frame in the pipeline, as the preview thread or a snapshot holds it.
      std::lock_guard<std::mutex> frame(context.Acquisition().FrameMutex());
      removed = std::async(std::launch::async, [&] {
        analog ? port.RemoveAnalogDialog(&views[0]) : port.RemoveImageDialog(&views[0]);
      });
      EXPECT_EQ(removed.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    }
    removed.get();
    Tell(views);
    EXPECT_EQ(views[0].shown, 0);
    EXPECT_EQ(views[0].refreshed, analog ? 1 : 0);  // the image dialog goes second
  }
}

// Dialogs of one kind open on one camera from several threads: every one still open is told
// of a measurement, whichever closed first, or it would show and store back old values.
TEST_F(DialogPortAdapterTest, EveryOpenDialogIsToldWhicheverClosesFirst) {
  std::vector<CountingViews> views(3);
  for (CountingViews& v : views) {
    port.AddImageDialog(&v);
    port.AddAnalogDialog(&v);
  }
  EXPECT_EQ(Told(views), (std::vector<bool>{true, true, true}));
  const auto remove = [&](CountingViews& v) {
    port.RemoveImageDialog(&v);
    port.RemoveAnalogDialog(&v);
  };
  remove(views[2]);  // the last opened
  EXPECT_EQ(Told(views), (std::vector<bool>{true, true, false}));
  remove(views[0]);  // the first opened
  EXPECT_EQ(Told(views), (std::vector<bool>{false, true, false}));
  remove(views[0]);  // a view no longer open changes nothing
  EXPECT_EQ(Told(views), (std::vector<bool>{false, true, false}));
  port.AddImageDialog(&views[0]);
  port.AddAnalogDialog(&views[0]);
  EXPECT_EQ(Told(views), (std::vector<bool>{true, true, false}));
  remove(views[1]);
  remove(views[0]);
  EXPECT_EQ(Told(views), (std::vector<bool>{false, false, false}));
}

// What the application does on another thread around the camera dialog's pause: a preview it
// stopped or closed before the pause took hold, or one whose restart would deliver into the
// buffer of a CallBackPreview refused while the dialog was open, is not started again, even
// when the dialog asks to restart what ran as it opened.
TEST_F(DialogPortAdapterTest, StartsAgainOnlyWhatThePauseStoppedAndNobodyTouched) {
  using namespace dialogs;
  enum class Meanwhile { kNothing, kStopBeforePause, kCloseBeforePause, kRefusedCallBack };
  const struct {
    const char* what;
    std::int32_t running;
    Meanwhile meanwhile;
    std::int32_t found;
    std::int32_t after;
  } cases[] = {
      {"preview", kPreviewing, Meanwhile::kNothing, kPreviewing, kPreviewing},
      {"capture", kCapturing, Meanwhile::kNothing, kCapturing, kCapturing},
      {"stopped before the pause", kPreviewing, Meanwhile::kStopBeforePause, kIdle, kIdle},
      {"closed before the pause", kPreviewing, Meanwhile::kCloseBeforePause, kIdle, kIdle},
      {"CallBackPreview refused while paused", kPreviewing, Meanwhile::kRefusedCallBack,
       kPreviewing, kIdle},
  };
  const auto state = [&] { return static_cast<std::int32_t>(context.Acquisition().state.load()); };
  // Outlives every preview of the test: a refused call leaves the delivery pointing at it.
  std::vector<std::uint8_t> buffer(4096);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bool preview = c.running == kPreviewing;
    ASSERT_EQ(preview ? context.LivePreview().StartPreview() : context.Acquisition().Capture(), 1);
    if (c.meanwhile == Meanwhile::kStopBeforePause) context.LivePreview().StopPreview();
    if (c.meanwhile == Meanwhile::kCloseBeforePause) context.Close();

    DialogPortAdapter dialog(context);
    EXPECT_EQ(dialog.PauseAcquisition(), c.found);
    EXPECT_EQ(state(), kIdle);
    if (c.meanwhile == Meanwhile::kRefusedCallBack) {
      // The unit platform makes no windows.
      EXPECT_EQ(context.CallBackPreview(0x2002, buffer.data(), 4096, 0), 0);
      EXPECT_EQ(context.TakeLastError(), kErrorWindow);
    }
    if (preview) {
      dialog.StartPreview();
    } else {
      dialog.Capture();
    }
    EXPECT_EQ(state(), c.after);
    context.LivePreview().StopPreview();
  }
}

}  // namespace
}  // namespace orvex
