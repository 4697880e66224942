#pragma once

#include <cstdint>
#include <memory>

#include "imaging/image_buffer.h"
#include "imaging/pixel_kernel.h"
#include "platform/window_system.h"

namespace orvex {

// The eight images of a camera: the raw frame in one or two bytes a sample, the colour outputs
// of 24, 32, 48 and 64 bits, the scratch copy the sharpness stage reads and the picture the
// preview window is drawn from.
class FrameImages {
 public:
  FrameImages() = default;
  FrameImages(const FrameImages&) = delete;
  FrameImages& operator=(const FrameImages&) = delete;

  // Makes all eight (without bitmaps yet); false, with those that could be made kept, when
  // memory ran out.
  bool Make(platform::WindowSystem& windows);
  // True when all eight exist.
  bool Complete() const;
  // Releases every bitmap and the images themselves.
  void Destroy();

  // The raw image a ColorType's frames arrive in, and the image its output lands in; null for
  // another ColorType.
  ImageBuffer* RawImageFor(std::int32_t colorType) const;
  ImageBuffer* OutputImageFor(std::int32_t colorType) const;

  // Sizes the images a capture of `colorType` at width x height uses (the raw image with the
  // gray table, the output, and the scratch image like the output); false when one could not
  // be made. Images that have the size and depth already keep their memory and are marked
  // stale: the frame reader, the pipeline and the copies to the application zero what they
  // depend on before they use them (ImageBuffer::Recreate).
  bool CreateFor(std::int32_t colorType, std::int32_t width, std::int32_t height);

  // A whole-image kernel from `source` into `destination` that may wait until something reads
  // the destination: the reduction for a preview window that draws nothing. Only the last one
  // put off for a destination counts, as each overwrites what the one before wrote; one put off
  // for another destination runs at once first.
  void DeferKernel(ImageBuffer& destination, PixelKernel kernel, ImageBuffer& source);
  // Runs what was put off for `image` now; whatever reads or writes an image that may have a
  // kernel put off calls this first.
  void RunDeferred(const ImageBuffer* image);
  // Forgets what was put off (the destination has been made anew).
  void DropDeferred(const ImageBuffer* image);

  std::unique_ptr<ImageBuffer> RawImage8;
  std::unique_ptr<ImageBuffer> RawImage16;
  std::unique_ptr<ImageBuffer> ColorImage24;
  std::unique_ptr<ImageBuffer> ColorImage32;
  std::unique_ptr<ImageBuffer> ColorImage48;
  std::unique_ptr<ImageBuffer> ColorImage64;
  std::unique_ptr<ImageBuffer> ScratchImage;
  std::unique_ptr<ImageBuffer> DisplayImage;

 private:
  struct Deferred {
    ImageBuffer* destination = nullptr;
    PixelKernel kernel = nullptr;
    ImageBuffer* source = nullptr;
  };
  Deferred deferred_;
};

}  // namespace orvex
