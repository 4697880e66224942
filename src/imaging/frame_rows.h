#pragma once

#include <cstdint>

namespace orvex {

class BandWorkers;
class FrameFilters;
class ImageBuffer;

// What a frame needs done to the rows of its output after its measurements: the conversion
// from the raw frame, then the filter stages, in place.
struct FrameRows {
  ImageBuffer* output = nullptr;
  // Writes output rows first .. end - 1 from what lies in the raw frame and elsewhere, never
  // reading an output row; null when the output holds the frame already.
  void (*convert)(const void* context, std::int32_t first, std::int32_t end) = nullptr;
  const void* convertContext = nullptr;
  const FrameFilters* filters = nullptr;
};

// Runs the conversion and the filters band by band over the output, each row through every
// stage while it is in the cache: in one band, or in one band per thread of `workers` when
// there are workers and the frame is large enough to gain. The bytes are those of the stages
// run one after another over the whole image, whatever the bands. False, with nothing done,
// when memory for the bands and the rows they keep around the sharpness stage is short.
bool RunFrameRows(const FrameRows& rows, BandWorkers* workers);

// Runs `work(context, first, end)` over the rows 0 .. height - 1 in bands, one per thread when
// the frame is large enough: for a conversion that writes each row from the raw frame alone.
void RunRowBands(std::int32_t height, std::int64_t frameBytes, BandWorkers* workers,
                 void (*work)(const void* context, std::int32_t first, std::int32_t end),
                 const void* context);

}  // namespace orvex
