// orvex snap: one frame to a PNG, BMP or CSV file.
#include <OrvexSdk_QX218.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <orvex/virtual_camera.h>
#endif

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"
#include "tools/orvex/output_file.h"

namespace orvex::tool {
namespace {

enum class FileFormat { kPng, kBmp, kCsv, kUnknown };

FileFormat FormatOf(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension == "png") return FileFormat::kPng;
  if (extension == "bmp") return FileFormat::kBmp;
  if (extension == "csv") return FileFormat::kCsv;
  return FileFormat::kUnknown;
}

// Ten-bit samples (0..1023) spread over sixteen bits the way PNG readers expect of a file that
// says 10 significant bits: shifted up, the top bits repeated below.
std::uint16_t Widen10(std::uint16_t v) {
  v = static_cast<std::uint16_t>(v & 0x3FF);
  return static_cast<std::uint16_t>(v << 6 | v >> 4);
}

void PutBigEndian(std::uint8_t* to, std::uint16_t v) {
  to[0] = static_cast<std::uint8_t>(v >> 8);
  to[1] = static_cast<std::uint8_t>(v);
}

std::uint16_t Word(const std::uint8_t* from) {
  return static_cast<std::uint16_t>(from[0] | from[1] << 8);
}

// One row of the library's image (rows top first) in PNG layout: gray or RGB, 8 or 16 bits.
void ToPngRow(const std::uint8_t* from, std::int32_t width, std::int32_t bits, std::uint8_t* to) {
  for (std::int32_t x = 0; x < width; ++x) {
    switch (bits) {
      case 8:
        to[x] = from[x];
        break;
      case 16:
        PutBigEndian(to + 2 * x, Widen10(Word(from + 2 * x)));
        break;
      case 24:
      case 32: {
        const std::uint8_t* pixel = from + x * (bits / 8);
        to[3 * x] = pixel[2];
        to[3 * x + 1] = pixel[1];
        to[3 * x + 2] = pixel[0];
        break;
      }
      default: {  // 48, 64: blue, green, red words
        const std::uint8_t* pixel = from + x * (bits / 8);
        for (int c = 0; c < 3; ++c)
          PutBigEndian(to + 6 * x + 2 * c, Widen10(Word(pixel + 4 - 2 * c)));
        break;
      }
    }
  }
}

// Kept free of objects with destructors: libpng leaves through longjmp on errors. 0, or the
// error of the write that failed.
int WritePngRows(std::FILE* file, png_bytep* rows, std::int32_t width, std::int32_t height,
                 int colorType, int depth, bool tenBit) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return ENOMEM;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    // libpng's own writes go through stdio, which left their error in errno.
    const int error = errno != 0 ? errno : kIncompleteFile;
    png_destroy_write_struct(&png, &info);
    return error;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (tenBit) {
    png_color_8 significant{};
    significant.red = significant.green = significant.blue = significant.gray = 10;
    png_set_sBIT(png, info, &significant);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return 0;
}

// `image` holds the rows top first. 0, or the error that kept the file from being written.
int WritePng(const std::string& path, const std::vector<std::uint8_t>& image,
             const OutputSize& size, std::int32_t bits) {
  const bool gray = bits == 8 || bits == 16;
  const int depth = bits == 8 || bits == 24 || bits == 32 ? 8 : 16;
  const std::size_t rowBytes = static_cast<std::size_t>(size.width) * (gray ? 1 : 3) * (depth / 8);
  std::vector<std::uint8_t> pixels(rowBytes * size.height);
  std::vector<png_bytep> rows(size.height);
  for (std::int32_t y = 0; y < size.height; ++y) {
    rows[y] = pixels.data() + y * rowBytes;
    ToPngRow(image.data() + static_cast<std::size_t>(y) * size.stride, size.width, bits, rows[y]);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return errno;
  errno = 0;
  const int error =
      WritePngRows(file, rows.data(), size.width, size.height,
                   gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, depth, depth == 16);
  return FinishFile(file, error);
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// `image` holds the rows bottom first, as a bitmap file stores them. 0, or the error that kept
// the file from being written.
int WriteBmp(const std::string& path, const std::vector<std::uint8_t>& image,
             const OutputSize& size, std::int32_t bits) {
  const std::uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
  const std::uint32_t offset = 14 + 40 + paletteBytes;
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(size.stride) * size.height;
  std::vector<std::uint8_t> head;
  head.push_back('B');
  head.push_back('M');
  PutLittle(head, offset + imageBytes, 4);
  PutLittle(head, 0, 4);
  PutLittle(head, offset, 4);
  PutLittle(head, 40, 4);
  PutLittle(head, static_cast<std::uint32_t>(size.width), 4);
  PutLittle(head, static_cast<std::uint32_t>(size.height), 4);
  PutLittle(head, 1, 2);
  PutLittle(head, static_cast<std::uint32_t>(bits), 2);
  PutLittle(head, 0, 4);  // no compression
  PutLittle(head, imageBytes, 4);
  PutLittle(head, 2835, 4);  // 72 dots an inch
  PutLittle(head, 2835, 4);
  PutLittle(head, bits == 8 ? 256 : 0, 4);
  PutLittle(head, 0, 4);
  for (std::uint32_t i = 0; i < paletteBytes / 4; ++i) PutLittle(head, i * 0x010101u, 4);

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return errno;
  int error = 0;
  if (std::fwrite(head.data(), 1, head.size(), file) != head.size() ||
      std::fwrite(image.data(), 1, imageBytes, file) != imageBytes) {
    error = errno;
  }
  return FinishFile(file, error);
}

// Why the library could not open a CSV file: the same open, without creating anything.
int CsvOpenError(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (file == nullptr) return errno;
  std::fclose(file);
  return kIncompleteFile;
}

// The automatic exposure measures one frame in three and sets the exposure of the next ones: a
// single frame is never corrected, and from the darkest start a few measurements are needed.
constexpr std::int32_t kMaxWarmUpFrames = 30;
constexpr std::int32_t kFramesAMeasurement = 3;

// Takes frames until a whole round of measurements leaves the exposure as it was, or the limit;
// false (reported) when a frame fails. The handle is left capturing.
bool WarmUpAutoExposure(CameraHandle handle, std::vector<std::uint8_t>& image) {
  if (!Orvex_Capture(handle)) {
    PrintErrors(handle, "preparing the frames", ErrorBusy);
    return false;
  }
  std::int32_t exposure = Orvex_GetExposureTime(handle, nullptr);
  std::int32_t unchanged = 0;
  for (std::int32_t i = 0; i < kMaxWarmUpFrames && unchanged < kFramesAMeasurement; ++i) {
    if (!Orvex_SnapShot(handle, image.data(), static_cast<std::int32_t>(image.size()), 1)) {
      PrintErrors(handle, "a frame for the automatic exposure", ErrorNoFrame);
      return false;
    }
    const std::int32_t now = Orvex_GetExposureTime(handle, nullptr);
    unchanged = now == exposure ? unchanged + 1 : 0;
    exposure = now;
  }
  return true;
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: orvex snap --out FILE.png|FILE.bmp|FILE.csv [--color-mode 8|16|24|32|48|64]\n"
      "                  [--geometry TH,EHS,EH,TV,EVS,EV] [--wait-time MS] [--device N]\n"
      "                  [--camera-image FILE.png] [--set NAME=VALUE ...] [--auto-exposure]\n"
      "PNG: 8/16-bit gray, RGB 8 or 16 bits a channel (10-bit samples widened to 16);\n"
      "BMP: 8 (gray palette), 24 or 32 bits; CSV: the 8-bit raw image of the library.\n"
      "--color-mode: 32 (the default), 48 and 64 are colour, 8 and 16 gray, 24 a false-colour\n"
      "map of the raw sensor samples.\n"
      "--set takes any of the 27 numbered settings by the name part of its exports\n"
      "(Brightness, Gamma, BayerGainRed, ExposureTime, GrayOffsetB, ...) for this run only;\n"
      "Gamma below 100 brightens (70: exponent 0.7), above 100 darkens fast (110: exponent 2).\n"
      "--auto-exposure runs the automatic exposure: frames are taken first until the exposure\n"
      "settles (at most %d), then the one saved.\n",
      kMaxWarmUpFrames);
  return 2;
}

}  // namespace

int RunSnap(const std::vector<std::string>& args) {
  CaptureOptions options;
  std::string out, cameraImage;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const int shared = ParseCaptureOption(args, &i, &options);
    if (shared < 0) return 2;
    if (shared > 0) continue;
    if ((args[i] == "--out" || args[i] == "--camera-image") && i + 1 < args.size()) {
      (args[i] == "--out" ? out : cameraImage) = args[i + 1];
      ++i;
      continue;
    }
    return Usage();
  }
  const FileFormat format = FormatOf(out);
  if (out.empty() || format == FileFormat::kUnknown) return Usage();
  const std::int32_t bits = options.bitsPerPixel;
  if (format == FileFormat::kBmp && bits != 8 && bits != 24 && bits != 32) {
    std::fprintf(stderr, "orvex: a BMP file holds 8, 24 or 32 bits a pixel; use PNG for %d\n",
                 bits);
    return 2;
  }

  if (!cameraImage.empty()) {
#if defined(_WIN32)
    std::fprintf(stderr, "orvex: --camera-image needs the virtual camera\n");
    return 2;
#else
    if (!OrvexVirtualCamera_IsAttached(options.device)) {
      std::fprintf(stderr, "orvex: no virtual camera %d\n", options.device);
      return 1;
    }
    if (!OrvexVirtualCamera_LoadImage(options.device, cameraImage.c_str())) {
      std::fprintf(stderr, "orvex: the virtual camera %d cannot show %s\n", options.device,
                   cameraImage.c_str());
      return 1;
    }
#endif
  }

  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  int status = 1;
  SavedSettings saved;
  if (ApplyCaptureOptions(handle, options, &saved)) {
    const OutputSize size = CurrentOutputSize(handle, bits);
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size.stride) * size.height);
    // The library's first row in memory is the camera's first line, the top of the picture:
    // PNG wants it first, a bitmap file last.
    const std::int32_t firstLineFirst = format == FileFormat::kBmp ? 0 : 1;
    bool taken = false;
    if (!options.autoExposure || WarmUpAutoExposure(handle, image)) {
      taken = Orvex_SnapShot(handle, image.data(), static_cast<std::int32_t>(image.size()),
                             firstLineFirst) != 0;
      if (!taken) PrintErrors(handle, "the snapshot", ErrorNoFrame);
    }
    if (options.autoExposure) Orvex_StopPreview(handle);  // ends the warm-up's capture
    if (taken) {
      int error = 0;
      if (format == FileFormat::kPng) error = WritePng(out, image, size, bits);
      if (format == FileFormat::kBmp) error = WriteBmp(out, image, size, bits);
      if (format == FileFormat::kCsv) {
        // The file holds the 8-bit raw image, whose size only the 8-bit modes make known.
        const bool byteModes = bits == 8 || bits == 24 || bits == 32;
        error = Orvex_SaveImage(handle, out.c_str(), 0) == 0 ? CsvOpenError(out) : 0;
        // Written, or opened and left short: reading the file back tells what it lacks and why
        // (a full disk, say).
        if (error == 0 || error == kIncompleteFile) {
          const int checked =
              CheckCsvFile(out, byteModes ? size.width : 0, byteModes ? size.height : 0);
          if (checked != 0) error = checked;
        }
        if (!byteModes) {
          std::fprintf(stderr,
                       "orvex: note: %d-bit frames do not pass through the 8-bit image "
                       "that the CSV file holds\n",
                       bits);
        }
      }
      if (error == 0) {
        std::printf("%s: %d x %d, %d bits a pixel\n", out.c_str(), size.width, size.height, bits);
        status = 0;
      } else {
        ReportWriteFailure(out, error);
      }
    }
  }
  RestoreSettings(handle, saved);
  Orvex_Release(handle);
  return status;
}

}  // namespace orvex::tool
