// opencv_view: live frames from the C++ interface into cv::Mat, shown with cv::imshow.
//
//   opencv_view [FRAMES]
//
// orvex::Preview calls our function with every frame on a thread of its own; the frame is a
// view that is valid during the call only, so it is copied into a cv::Mat there. The window
// is drawn on the main thread, as the GUI wants it. The library also shows the frames in its
// own preview window.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <opencv2/highgui.hpp>
#include <orvex/orvex.hpp>

int main(int argc, char** argv) {
  const int wanted = argc > 1 ? std::atoi(argv[1]) : 300;
  try {
    orvex::Camera camera;
    camera.set_pixel_format(orvex::PixelFormat::Bgrx32);  // colour, as OpenCV's BGRA
    camera.set_geometry(orvex::Geometry::centered(640, 480));

    std::mutex mutex;
    cv::Mat latest;
    int frames = 0;
    orvex::Preview preview(camera, [&](const orvex::FrameView& frame, const FrameInfo&) {
      // Rows top first with the library's stride: a cv::Mat header over it, then a copy.
      const cv::Mat view(frame.height(), frame.width(), CV_8UC4,
                         const_cast<std::uint8_t*>(frame.data()),
                         static_cast<std::size_t>(frame.stride()));
      std::lock_guard<std::mutex> lock(mutex);
      view.copyTo(latest);
      ++frames;
    });

    for (int shown = 0; shown < wanted && preview.running();) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (frames > shown && !latest.empty()) {
          cv::imshow("opencv_view", latest);
          shown = frames;
        }
      }
      if (cv::waitKey(5) == 27) break;  // Esc
    }
    preview.stop();  // throws ErrorStreamStopped when the camera was unplugged
    std::printf("%d frames\n", frames);
  } catch (const std::system_error& error) {
    std::fprintf(stderr, "opencv_view: %s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    // OpenCV's own failures (cv::Exception: no display for imshow, say), here or rethrown by
    // stop() from the frame handler: unwinding stops the preview and releases the camera.
    std::fprintf(stderr, "opencv_view: %s\n", error.what());
    return 1;
  }
  return 0;
}
