#include "imaging/frame_images.h"

#include <new>

#include "imaging/color_type.h"
#include "imaging/kernel_framework.h"

namespace orvex {

bool FrameImages::Make(platform::WindowSystem& windows) {
  for (auto* image : {&RawImage8, &RawImage16, &ColorImage24, &ColorImage32, &ColorImage48,
                      &ColorImage64, &ScratchImage, &DisplayImage}) {
    image->reset(new (std::nothrow) ImageBuffer(windows));
  }
  return Complete();
}

bool FrameImages::Complete() const {
  return RawImage8 && RawImage16 && ColorImage24 && ColorImage32 && ColorImage48 && ColorImage64 &&
         ScratchImage && DisplayImage;
}

void FrameImages::DeferKernel(ImageBuffer& destination, PixelKernel kernel, ImageBuffer& source) {
  if (deferred_.destination != &destination) RunDeferred(deferred_.destination);
  deferred_ = Deferred{&destination, kernel, &source};
}

void FrameImages::RunDeferred(const ImageBuffer* image) {
  if (image == nullptr || deferred_.destination != image) return;
  const Deferred run = deferred_;
  deferred_ = Deferred{};
  run.destination->ClearStale();
  ApplyKernel(*run.destination, run.kernel, *run.source, nullptr, 0, 0, nullptr, 0);
}

void FrameImages::DropDeferred(const ImageBuffer* image) {
  if (image != nullptr && deferred_.destination == image) deferred_ = Deferred{};
}

void FrameImages::Destroy() {
  deferred_ = Deferred{};
  for (auto* image : {&RawImage8, &RawImage16, &ColorImage24, &ColorImage32, &ColorImage48,
                      &ColorImage64, &ScratchImage, &DisplayImage}) {
    if (*image) (*image)->Release();
    image->reset();
  }
}

ImageBuffer* FrameImages::RawImageFor(std::int32_t colorType) const {
  if (IsWordSampleType(colorType)) return RawImage16.get();
  if (IsByteSampleType(colorType)) return RawImage8.get();
  return nullptr;
}

ImageBuffer* FrameImages::OutputImageFor(std::int32_t colorType) const {
  switch (colorType) {
    case 0:
      return RawImage8.get();
    case 1:
      return RawImage16.get();
    case 2:
      return ColorImage24.get();
    case 3:
      return ColorImage32.get();
    case 4:
      return ColorImage48.get();
    case 5:
      return ColorImage64.get();
    default:
      return nullptr;
  }
}

bool FrameImages::CreateFor(std::int32_t colorType, std::int32_t width, std::int32_t height) {
  const std::int32_t color = colorType, w = width, h = height;
  if (color < 0 || color > 5) return false;
  if (!RawImage8 || !RawImage16 || !ColorImage24 || !ColorImage32 || !ColorImage48 ||
      !ColorImage64 || !ScratchImage) {
    return false;
  }
  // Images of the same size and depth keep their memory (see ImageBuffer::Recreate).
  if (color <= 3) {
    if (!RawImage8->Recreate(w, h, 8)) return false;
    RawImage8->SetColorTable(0, nullptr, 0, 256);
  }
  if (IsWordSampleType(color) && !RawImage16->Recreate(w, h, 16)) return false;
  if (color != 1) {
    // What an earlier preview put off for this image went with the image it would have written.
    DropDeferred(ColorImage24.get());
    if (!ColorImage24->Recreate(w, h, 24)) return false;
  }
  if (color == 3 && !ColorImage32->Recreate(w, h, 32)) return false;
  if (color == 4 && !ColorImage48->Recreate(w, h, 48)) return false;
  if (color == 5 && !ColorImage64->Recreate(w, h, 64)) return false;
  return ScratchImage->RecreateLike(OutputImageFor(color)) != 0;
}

}  // namespace orvex
