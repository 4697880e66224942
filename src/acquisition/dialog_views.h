#pragma once

#include <cstdint>
#include <mutex>

namespace orvex {

// What the acquisition asks of an open image dialog: reload its pages from the settings after
// a white or gray balance measurement. Called on the thread that runs the pipeline.
class ImageDialogView {
 public:
  virtual void Refresh() = 0;

 protected:
  ~ImageDialogView() = default;

 private:
  friend class DialogViews;
  ImageDialogView* nextOpen_ = nullptr;
};

// What the acquisition asks of an open analog dialog after the automatic exposure moved: show
// the new value in an edit item (1027 the exposure, 1015 the global gain), as if typed. Called
// on the thread that runs the pipeline.
class AnalogDialogView {
 public:
  virtual void SetItemInt(int item, std::int32_t value) = 0;

 protected:
  ~AnalogDialogView() = default;

 private:
  friend class DialogViews;
  AnalogDialogView* nextOpen_ = nullptr;
};

// The dialogs open on a camera, which the acquisition tells what it changed. A dialog adds its
// view while it is open and removes it before it goes. Dialogs of one kind may be open on one
// camera at once from several threads, closing in any order: each open one is told, so that
// none keeps showing (and on OK stores back) values the pipeline has since measured. The views
// are linked through themselves, so that opening a dialog allocates nothing.
class DialogViews {
 public:
  void AddImageDialog(ImageDialogView* view) { Add(&image_, view); }
  void RemoveImageDialog(ImageDialogView* view) { Remove(&image_, view); }
  void AddAnalogDialog(AnalogDialogView* view) { Add(&analog_, view); }
  void RemoveAnalogDialog(AnalogDialogView* view) { Remove(&analog_, view); }

  // Tells every open dialog, under the lock that removal takes: once a removal returns, its view
  // is not called any more. The views only post to their dialogs, so nothing waits in here.
  void RefreshImageDialogs() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ImageDialogView* v = image_; v != nullptr; v = v->nextOpen_) v->Refresh();
  }
  void ShowInAnalogDialogs(int item, std::int32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (AnalogDialogView* v = analog_; v != nullptr; v = v->nextOpen_) v->SetItemInt(item, value);
  }

 private:
  template <typename View>
  void Add(View** head, View* view) {
    std::lock_guard<std::mutex> lock(mutex_);
    view->nextOpen_ = *head;
    *head = view;
  }
  template <typename View>
  void Remove(View** head, View* view) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (View** link = head; *link != nullptr; link = &(*link)->nextOpen_) {
      if (*link == view) {
        *link = view->nextOpen_;
        view->nextOpen_ = nullptr;
        return;
      }
    }
  }

  std::mutex mutex_;
  ImageDialogView* image_ = nullptr;
  AnalogDialogView* analog_ = nullptr;
};

}  // namespace orvex
