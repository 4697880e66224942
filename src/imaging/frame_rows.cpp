// A frame's rows through conversion and filters, band by band.
//
// Each row goes through every stage while it is in the cache. Sharpness reads the four rows
// r - 2 .. r + 1 around an output row as the stages before it left them, so each band keeps
// those values of its last rows in a ring (a row that sharpness rewrites gets them there
// alone, its own samples waiting for the sharpened ones), and copies of its first and last three
// rows for the bands beside it: a row whose window reaches into another band is sharpened once
// every band has made its rows.

#include "imaging/frame_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/band_workers.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/image_buffer.h"

namespace orvex {
namespace {

// A band hands its neighbours three rows of its own.
constexpr std::int32_t kLeastBandRows = 4;

std::int32_t BandsFor(std::int32_t height, std::int64_t frameBytes, BandWorkers* workers) {
  if (workers == nullptr) return 1;
  const std::int32_t bands = workers->BandsFor(height, frameBytes);
  return height / bands < kLeastBandRows ? 1 : bands;
}

std::int32_t BandStart(std::int32_t band, std::int32_t bands, std::int32_t height) {
  return static_cast<std::int32_t>(static_cast<std::int64_t>(height) * band / bands);
}

// The rows one band keeps of the values before sharpness.
struct BandRows {
  std::int32_t first = 0, end = 0;
  // Row r in ring[r % kRing]: the four rows a sharpened row reads and the one before them,
  // whose values leave the vertical sums when they move on a row.
  static constexpr std::int32_t kRing = 5;
  std::uint8_t* ring[kRing] = {};
  std::uint8_t* head[3] = {};  // rows first .. first + 2
  std::uint8_t* tail[3] = {};  // rows end - 3 .. end - 1
  std::uint16_t* sums = nullptr;
  std::int32_t summed = -1;  // the output row whose vertical sums `sums` hold, or -1
};

class FrameRun {
 public:
  FrameRun(const FrameRows& rows, std::int32_t bands)
      : rows_(rows),
        image_(*rows.output),
        filters_(*rows.filters),
        height_(image_.height),
        width_(image_.width),
        rowBytes_(image_.RowBytes()),
        bandCount_(bands) {}

  // False when memory is short: the bands, and the rows they keep around the sharpness stage.
  bool Allocate() {
    // Not a vector: short of memory is a false here, not an exception on the preview thread.
    bands_.reset(new (std::nothrow) BandRows[static_cast<std::size_t>(bandCount_)]);
    if (!bands_) return false;
    for (std::int32_t b = 0; b < bandCount_; ++b) {
      bands_[b].first = BandStart(b, bandCount_, height_);
      bands_[b].end = BandStart(b + 1, bandCount_, height_);
    }
    if (!filters_.Sharpens()) return true;
    const std::size_t rowsEach = BandRows::kRing + 6;
    const std::size_t sumBytes =
        sizeof(std::uint16_t) * static_cast<std::size_t>(width_) * filters_.ElementsPerPixel();
    const std::size_t each = rowsEach * rowBytes_ + sumBytes + 16;
    memory_.reset(new (std::nothrow) std::uint8_t[each * static_cast<std::size_t>(bandCount_)]);
    if (!memory_) return false;
    std::uint8_t* at = memory_.get();
    for (std::int32_t b = 0; b < bandCount_; ++b) {
      BandRows& band = bands_[b];
      for (std::uint8_t*& row : band.ring) row = Take(&at, rowBytes_);
      for (std::uint8_t*& row : band.head) row = Take(&at, rowBytes_);
      for (std::uint8_t*& row : band.tail) row = Take(&at, rowBytes_);
      at += (16 - reinterpret_cast<std::uintptr_t>(at) % 16) % 16;
      band.sums = reinterpret_cast<std::uint16_t*>(at);
      at += sumBytes;
    }
    return true;
  }

  std::int32_t Bands() const { return bandCount_; }

  // Every stage of every row of band b that needs no row of another band.
  void RunBand(std::int32_t b) {
    BandRows& band = bands_[b];
    for (std::int32_t r = band.first; r < band.end; ++r) {
      std::uint8_t* row = image_.pixels + static_cast<std::size_t>(r) * image_.stride;
      // Rows are converted two a call: the Bayer forms share the sums of the sample rows two
      // output rows read. A conversion reads only the source, so converting row r + 1 before
      // row r is filtered gives the same bytes.
      if (rows_.convert != nullptr && (r - band.first) % 2 == 0) {
        rows_.convert(rows_.convertContext, r, std::min(r + 2, band.end));
      }
      if (!filters_.Sharpens()) {
        filters_.BeforeSharpness(row, width_);
        continue;
      }
      // A row that sharpness rewrites gets the stages before it in the ring alone.
      std::uint8_t* before = band.ring[r % BandRows::kRing];
      if (Sharpened(r)) {
        filters_.BeforeSharpenedRow(row, width_, before);
      } else {
        filters_.BeforeSharpness(row, width_);
        std::memcpy(before, row, rowBytes_);
        filters_.AfterSharpness(row, width_);
      }
      if (r - band.first < 3) std::memcpy(band.head[r - band.first], before, rowBytes_);
      if (band.end - r <= 3) std::memcpy(band.tail[r - (band.end - 3)], before, rowBytes_);
      // Row r - 1 now has its window when that lies wholly in this band.
      const std::int32_t s = r - 1;
      if (Sharpened(s) && s - 2 >= band.first) {
        const auto ring = [&](std::int32_t k) { return band.ring[k % BandRows::kRing]; };
        const std::uint8_t* window[4] = {ring(s - 2), ring(s - 1), ring(s), ring(s + 1)};
        Finish(band, s, window, band.summed == s - 1 ? ring(s - 3) : nullptr, true);
      }
    }
  }

  // The rows of band b whose window reaches into the bands beside it, once all have run.
  void FinishEdges(std::int32_t b) {
    if (!filters_.Sharpens()) return;
    BandRows& band = bands_[b];
    for (std::int32_t s : {band.first, band.first + 1, band.end - 1}) {
      if (!Sharpened(s) || s < band.first || s >= band.end) continue;
      if (s - 2 >= band.first && s + 1 < band.end) continue;  // done with the band
      const std::uint8_t* window[4];
      for (int k = 0; k < 4; ++k) window[k] = Before(b, s - 2 + k);
      Finish(band, s, window, nullptr, false);
    }
  }

 private:
  static std::uint8_t* Take(std::uint8_t** at, std::size_t bytes) {
    std::uint8_t* row = *at;
    *at += bytes;
    return row;
  }

  // Rows the sharpness stage writes: 2 .. height - 3 of an image larger than 4 x 4.
  bool Sharpened(std::int32_t r) const {
    return width_ > 4 && height_ > 4 && r >= 2 && r <= height_ - 3;
  }

  // Row r as it was before sharpness, from the copies of the band holding it.
  const std::uint8_t* Before(std::int32_t b, std::int32_t r) const {
    while (r < bands_[b].first) --b;
    while (r >= bands_[b].end) ++b;
    const BandRows& band = bands_[b];
    if (r - band.first < 3) return band.head[r - band.first];
    return band.tail[r - (band.end - 3)];
  }

  // Sharpens row s; `dropped` as FrameFilters::Sharpen takes it. The sums are kept for the
  // next row only where they are of the ring's rows.
  void Finish(BandRows& band, std::int32_t s, const std::uint8_t* const window[4],
              const std::uint8_t* dropped, bool fromRing) {
    std::uint8_t* row = image_.pixels + static_cast<std::size_t>(s) * image_.stride;
    filters_.Sharpen(window, row, width_, band.sums, dropped);
    band.summed = fromRing ? s : -1;
  }

  const FrameRows& rows_;
  ImageBuffer& image_;
  const FrameFilters& filters_;
  const std::int32_t height_, width_;
  const std::size_t rowBytes_;
  const std::int32_t bandCount_;
  std::unique_ptr<BandRows[]> bands_;
  std::unique_ptr<std::uint8_t[]> memory_;
};

}  // namespace

bool RunFrameRows(const FrameRows& rows, BandWorkers* workers) {
  ImageBuffer& image = *rows.output;
  if (image.pixels == nullptr || image.width <= 0 || image.height <= 0) return true;
  const std::int32_t bands =
      BandsFor(image.height, static_cast<std::int64_t>(image.ByteSize()), workers);
  FrameRun run(rows, bands);
  if (!run.Allocate()) return false;
  if (bands == 1) {
    run.RunBand(0);
    return true;
  }
  workers->Run(
      bands, [](void* context, int b) { static_cast<FrameRun*>(context)->RunBand(b); }, &run);
  if (rows.filters->Sharpens()) {
    workers->Run(
        bands, [](void* context, int b) { static_cast<FrameRun*>(context)->FinishEdges(b); }, &run);
  }
  return true;
}

void RunRowBands(std::int32_t height, std::int64_t frameBytes, BandWorkers* workers,
                 void (*work)(const void* context, std::int32_t first, std::int32_t end),
                 const void* context) {
  const std::int32_t bands = BandsFor(height, frameBytes, workers);
  if (bands <= 1) {
    work(context, 0, height);
    return;
  }
  struct Job {
    std::int32_t height, bands;
    void (*work)(const void*, std::int32_t, std::int32_t);
    const void* context;
  } job{height, bands, work, context};
  workers->Run(
      bands,
      [](void* c, int b) {
        const Job& j = *static_cast<const Job*>(c);
        j.work(j.context, BandStart(b, j.bands, j.height), BandStart(b + 1, j.bands, j.height));
      },
      &job);
}

}  // namespace orvex
