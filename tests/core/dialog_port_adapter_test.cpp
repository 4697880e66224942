// The context's side of the dialogs: a dialog that removes its view may go at once, so removal
// must wait for a frame that may still be using the view.
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
  DialogPortAdapterTest() { context.Initialize(0); }

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

}  // namespace
}  // namespace orvex
