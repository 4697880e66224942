#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "model/png_image.h"

namespace orvex::vcam {
namespace {

constexpr UINT kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t{32} << 20;
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;

// Releases a COM interface at the end of its scope.
template <typename T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  T** Out() { return &pointer_; }
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }

 private:
  T* pointer_ = nullptr;
};

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// The PNG's structure: the signature, whole chunks up to IEND, and the check sum of every
// critical chunk (an ancillary chunk with a bad sum is only skipped by a decoder). The decoder
// of the Imaging Component is lenient about check sums; files it would take while libpng
// refuses them are refused here first.
bool SoundPng(const std::vector<std::uint8_t>& file) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return false;
  std::size_t pos = 8;
  while (file.size() - pos >= 12) {
    const std::uint32_t length = Big32(&file[pos]);
    if (length > file.size() - pos - 12) return false;
    const std::uint8_t* type = &file[pos + 4];
    const bool critical = (type[0] & 0x20) == 0;
    if (critical && Crc32(type, length + 4) != Big32(type + 4 + length)) return false;
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    pos += 12 + std::size_t{length};
  }
  return false;
}

// The decoder's pixels as 16-bit RGB: 16-bit formats as they are, every other one through the
// 8-bit BGRA conversion, each value v then v x 257 (as libpng widens 8-bit samples).
bool CopyRgb16(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, UINT width, UINT height,
               RgbImage* image) {
  WICPixelFormatGUID format;
  if (FAILED(frame->GetPixelFormat(&format))) return false;
  const std::size_t pixels = std::size_t{width} * height;
  image->rgb.assign(pixels * 3, 0);

  int channels = 0;  // of a 16-bit format: 1 gray, 3 RGB, 4 RGBA
  if (IsEqualGUID(format, GUID_WICPixelFormat16bppGray)) channels = 1;
  if (IsEqualGUID(format, GUID_WICPixelFormat48bppRGB)) channels = 3;
  if (IsEqualGUID(format, GUID_WICPixelFormat64bppRGBA)) channels = 4;
  if (channels != 0) {
    std::vector<std::uint16_t> values(pixels * static_cast<std::size_t>(channels));
    const UINT stride = width * 2 * static_cast<UINT>(channels);
    if (FAILED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(values.size() * 2),
                                 reinterpret_cast<BYTE*>(values.data())))) {
      return false;
    }
    for (std::size_t i = 0; i < pixels; ++i) {
      const std::uint16_t* p = &values[i * static_cast<std::size_t>(channels)];
      for (int c = 0; c < 3; ++c)
        image->rgb[3 * i + static_cast<std::size_t>(c)] = p[channels == 1 ? 0 : c];
    }
    return true;
  }

  Com<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
      FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
    return false;
  }
  std::vector<std::uint8_t> bgra(pixels * 4);
  if (FAILED(
          converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data()))) {
    return false;
  }
  for (std::size_t i = 0; i < pixels; ++i) {
    image->rgb[3 * i] = static_cast<std::uint16_t>(bgra[4 * i + 2] * 257);
    image->rgb[3 * i + 1] = static_cast<std::uint16_t>(bgra[4 * i + 1] * 257);
    image->rgb[3 * i + 2] = static_cast<std::uint16_t>(bgra[4 * i] * 257);
  }
  return true;
}

bool Decode(const std::vector<std::uint8_t>& file, RgbImage* image) {
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out())))) {
    return false;
  }
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(factory->CreateStream(stream.Out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                          static_cast<DWORD>(file.size()))) ||
      FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Out())) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(frame->GetSize(&width, &height))) {
    return false;
  }
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      std::uint64_t{width} * height > kMaxPixels) {
    return false;
  }
  if (!CopyRgb16(factory.get(), frame.get(), width, height, image)) return false;
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  return true;
}

}  // namespace

bool ReadPng(const char* path, RgbImage* image) {
  if (path == nullptr) return false;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) return false;
  std::vector<std::uint8_t> file(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(file.data()), size)) return false;
  if (!SoundPng(file)) return false;

  // COM for this thread, unless the application has set it up already (in either model).
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  RgbImage decoded;
  const bool done = Decode(file, &decoded);
  if (SUCCEEDED(com)) CoUninitialize();
  if (done) *image = std::move(decoded);
  return done;
}

}  // namespace orvex::vcam
