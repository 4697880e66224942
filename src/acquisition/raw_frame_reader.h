#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex {

class DeviceLink;
class ImageBuffer;

// Takes the newest frame out of the link's buffers into the raw image of the current format:
// straight, or, with a reduced output, through the full window thinned by whole Bayer blocks.
class RawFrameReader {
 public:
  // Keeps room for a full window of `bytes` beside the raw image (none for 0); false, with no
  // room kept, when memory ran out.
  bool ReserveWindow(std::size_t bytes);
  // 1, 2 or 4: the output is the link's window divided by this (SubSample at PrepareCapture).
  void SetReduction(std::int32_t reduction) { reduction_ = reduction; }

  // Copies the newest frame (single or stream) into `raw`, checked against the link's window
  // first; 0, or non-zero when nothing usable arrived.
  int ReadFrameIntoRaw(DeviceLink& link, ImageBuffer* raw, bool fromStream);

 private:
  std::int32_t reduction_ = 1;
  // With a reduction, the link's full window lands here before it is thinned into the raw image.
  std::vector<std::uint8_t> fullWindow_;
};

}  // namespace orvex
