#include <png.h>

#include <cstdio>
#include <new>

#include "model/png_image.h"

namespace orvex::vcam {
namespace {

constexpr png_uint_32 kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t{32} << 20;

[[noreturn]] void OnError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

struct File {
  std::FILE* handle;
  ~File() {
    if (handle != nullptr) std::fclose(handle);
  }
};

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~Reader() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// Everything that libpng may leave by longjmp lives in the frames of this function and of
// libpng; the caller's objects outlive it.
bool Decode(std::FILE* file, png_structp png, png_infop info, std::vector<png_byte>* pixels,
            std::vector<png_bytep>* rows, int* width, int* height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);

  const png_uint_32 w = png_get_image_width(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  if (std::uint64_t{w} * h > kMaxPixels) return false;
  const int colorType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);

  // Normalise every kind of PNG to 16-bit RGB.
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  png_set_strip_alpha(png);  // also the alpha that a tRNS chunk would expand to
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_expand_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const png_size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes != std::size_t{w} * 6) return false;
  try {
    pixels->resize(rowBytes * h);
    rows->resize(h);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = pixels->data() + y * rowBytes;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace

bool ReadPng(const char* path, RgbImage* image) {
  if (path == nullptr) return false;
  File file{std::fopen(path, "rb")};
  if (file.handle == nullptr) return false;
  png_byte signature[8];
  if (std::fread(signature, 1, sizeof signature, file.handle) != sizeof signature ||
      png_sig_cmp(signature, 0, sizeof signature) != 0) {
    return false;
  }
  Reader reader;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (reader.png == nullptr) return false;
  reader.info = png_create_info_struct(reader.png);
  if (reader.info == nullptr) return false;

  std::vector<png_byte> pixels;
  std::vector<png_bytep> rows;
  int width = 0;
  int height = 0;
  if (!Decode(file.handle, reader.png, reader.info, &pixels, &rows, &width, &height)) return false;

  image->width = width;
  image->height = height;
  image->rgb.resize(pixels.size() / 2);
  for (std::size_t i = 0; i < image->rgb.size(); ++i) {  // PNG samples are big-endian
    image->rgb[i] = static_cast<std::uint16_t>(pixels[2 * i] << 8 | pixels[2 * i + 1]);
  }
  return true;
}

}  // namespace orvex::vcam
