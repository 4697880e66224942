// The context's side of the dialogs: a dialog that clears its view may go at once, so clearing
// must wait for a frame that may still be using the view.
#include "core/dialog_port_adapter.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>

#include "core/camera_context.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

struct NullViews final : ImageDialogView, AnalogDialogView {
  void Refresh() override {}
  void SetItemInt(int, std::int32_t) override {}
};

class DialogPortAdapterTest : public testing::UnitPlatformTest {
 protected:
  DialogPortAdapterTest() { context.Initialize(0); }

  CameraContext context;
  DialogPortAdapter port{context};
  NullViews view;
};

TEST_F(DialogPortAdapterTest, ClearingAViewWaitsForTheFrameInProgress) {
  port.SetAnalogDialog(&view);
  port.SetImageDialog(&view);
  std::atomic<ImageDialogView*>& image = context.Views().imageDialog;
  std::atomic<AnalogDialogView*>& analog = context.Views().analogDialog;
  struct Case {
    void (*clear)(DialogPortAdapter&);
    bool analogAfter, imageAfter;
  };
  for (const Case& c :
       {Case{[](DialogPortAdapter& p) { p.SetAnalogDialog(nullptr); }, false, true},
        Case{[](DialogPortAdapter& p) { p.SetImageDialog(nullptr); }, false, false}}) {
    std::future<void> cleared;
    {
      // A frame in the pipeline, as the preview thread or a snapshot holds it.
      std::lock_guard<std::mutex> frame(context.Acquisition().FrameMutex());
      cleared = std::async(std::launch::async, [&] { c.clear(port); });
      EXPECT_EQ(cleared.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    }
    cleared.get();
    EXPECT_EQ(analog.load() != nullptr, c.analogAfter);
    EXPECT_EQ(image.load() != nullptr, c.imageAfter);
  }
}

}  // namespace
}  // namespace orvex
