// A C++ application of the installed package: a 640 x 480 colour frame, top row first, as the
// reference's first page takes it. Prints its size and the mean of each colour.
#include <cstdio>
#include <orvex/orvex.hpp>

int main() {
  try {
    orvex::Camera camera;
    camera.set_pixel_format(orvex::PixelFormat::Bgrx32);
    camera.set_geometry(orvex::Geometry::centered(640, 480));
    const orvex::Frame frame = camera.snapshot();
    double sum[3] = {};
    for (std::int32_t y = 0; y < frame.height(); ++y) {
      const std::uint8_t* pixel = frame.row(y);
      for (std::int32_t x = 0; x < frame.width(); ++x, pixel += 4) {
        for (int c = 0; c < 3; ++c) sum[c] += pixel[c];
      }
    }
    const double pixels = double(frame.width()) * frame.height();
    std::printf("%d x %d, blue %.0f green %.0f red %.0f\n", frame.width(), frame.height(),
                sum[0] / pixels, sum[1] / pixels, sum[2] / pixels);
    return 0;
  } catch (const std::system_error& error) {
    std::fprintf(stderr, "cpp_snapshot: %s\n", error.what());
    return 1;
  }
}
