#include "acquisition/raw_frame_reader.h"

#include <cstring>
#include <new>

#include "device/device_link.h"
#include "imaging/color_conversion.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace {

// Non-zero result for a frame that did not fit the raw image; nothing was copied.
constexpr int kWindowMismatch = -1;

// Spreads the packed rows that the link wrote out to the image's stride.
void RespaceRows(ImageBuffer& raw) {
  const std::uint32_t packed = static_cast<std::uint32_t>(raw.width) * raw.bitsPerPixel / 8;
  if (raw.stride == packed) return;
  if (raw.bitsPerPixel == 8) {
    ApplyKernel(raw, ExpandRows8, raw, nullptr, 0, 0, nullptr, 0);
  } else if (raw.bitsPerPixel == 16) {
    ApplyKernel(raw, ExpandRows16, raw, nullptr, 0, 0, nullptr, 0);
  }
}

// Thins a packed full window into `raw` by keeping every `step`-th 2 x 2 block of samples in
// both directions, so that the colour filter's pattern stays whole in the smaller image.
void ReduceBayerBlocks(const std::uint8_t* window, std::int32_t windowWidth, std::int32_t step,
                       ImageBuffer& raw) {
  const std::size_t sampleBytes = raw.bitsPerPixel / 8;
  for (std::int32_t row = 0; row < raw.height; ++row) {
    const std::int32_t sourceRow = (row / 2) * 2 * step + row % 2;
    const std::uint8_t* from =
        window + static_cast<std::size_t>(sourceRow) * windowWidth * sampleBytes;
    std::uint8_t* to = raw.pixels + static_cast<std::size_t>(row) * raw.stride;
    for (std::int32_t column = 0; column < raw.width; ++column) {
      const std::int32_t sourceColumn = (column / 2) * 2 * step + column % 2;
      std::memcpy(to + column * sampleBytes, from + sourceColumn * sampleBytes, sampleBytes);
    }
  }
}

// A raw image kept from an earlier capture (stale): the copy writes the frame's samples packed
// from the start and then spreads the rows out, so the bytes past the packed frame end up as
// padding; zeroed here (with the padding itself, which a reduced copy never writes) they hold
// what they would hold in a new image.
void ClearWhatTheCopyLeaves(ImageBuffer& raw) {
  if (!raw.stale) return;
  const std::size_t packed = raw.RowBytes() * static_cast<std::size_t>(raw.height);
  raw.ClearPadding();
  if (packed < raw.ByteSize()) std::memset(raw.pixels + packed, 0, raw.ByteSize() - packed);
}

}  // namespace

bool RawFrameReader::ReserveWindow(std::size_t bytes) {
  try {
    if (bytes > 0) {
      fullWindow_.assign(bytes, 0);
    } else {
      std::vector<std::uint8_t>().swap(fullWindow_);
    }
  } catch (const std::bad_alloc&) {
    std::vector<std::uint8_t>().swap(fullWindow_);
    return false;
  }
  return true;
}

int RawFrameReader::ReadFrameIntoRaw(DeviceLink& link, ImageBuffer* raw, bool fromStream) {
  if (raw == nullptr || raw->pixels == nullptr) return kWindowMismatch;
  const std::int32_t sampleBytes = raw->bitsPerPixel / 8;
  if ((sampleBytes == 2) != (link.SampleWidth16() != 0) || sampleBytes < 1 || sampleBytes > 2) {
    return kWindowMismatch;
  }

  // The link writes its whole window: it must be exactly what the images were made for, or the
  // copy would run past them (the geometry or the format may have changed since).
  const std::int32_t width = link.Width(), height = link.Height();
  const std::int32_t step = reduction_;
  if (width <= 0 || height <= 0 || width / step != raw->width || height / step != raw->height) {
    return kWindowMismatch;
  }
  // The copy takes only the window checked here, whatever another thread does to the link.
  const DeviceLink::WindowSize checked{width, height, sampleBytes};

  if (step == 1) {
    ClearWhatTheCopyLeaves(*raw);
    const int copied = fromStream ? link.CopyStreamFrame(raw->pixels, &checked)
                                  : link.CopySingleFrame(raw->pixels, &checked);
    RespaceRows(*raw);
    // A failed copy wrote nothing, and the image stays stale for whoever reads it next.
    if (copied == 0) raw->stale = false;
    return copied;
  }

  const std::size_t windowBytes = static_cast<std::size_t>(width) * height * sampleBytes;
  if (fullWindow_.size() < windowBytes) return kWindowMismatch;
  const int copied = fromStream ? link.CopyStreamFrame(fullWindow_.data(), &checked)
                                : link.CopySingleFrame(fullWindow_.data(), &checked);
  if (copied == 0) {
    ClearWhatTheCopyLeaves(*raw);
    ReduceBayerBlocks(fullWindow_.data(), width, step, *raw);
    raw->stale = false;
  }
  return copied;
}

}  // namespace orvex
