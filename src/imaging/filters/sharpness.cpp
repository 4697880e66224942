// Sharpness: an unsharp mask against a 4 x 4 box blur that reaches two rows and columns back
// and one forward, read from the untouched copy of the image.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "base/cpu_features.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/sharpness_rows.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters {
namespace {

// The blur writes into the destination before the sharpen pass reads the source again, so a
// destination that shares bytes with the source would feed blurred values back into later
// sums. Such a call reads a private copy of the source instead, which gives the result that
// does not depend on the visiting order.
class SourceSnapshot {
 public:
  // False when memory for the copy is short.
  bool Take(KernelCall* call) {
    if (ClassifyLayout(*call) == Layout::kDisjoint) return true;
    const std::size_t rowBytes = static_cast<std::size_t>(call->width) * call->sourceBytes;
    bytes_.reset(new (std::nothrow) std::uint8_t[rowBytes * call->height]);
    if (!bytes_) return false;
    for (std::int32_t j = 0; j < call->height; ++j) {
      std::memcpy(bytes_.get() + rowBytes * j, call->SourceRow(j), rowBytes);
    }
    call->source = bytes_.get();
    call->left = 0;
    call->top = 0;
    call->sourceStride = static_cast<std::ptrdiff_t>(rowBytes);
    return true;
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
};

template <bool kWide>
std::int32_t SharpnessReference(int channels, KernelCall call) {
  SourceSnapshot snapshot;
  if (!snapshot.Take(&call)) return 0;
  const SharpenTable table(call.Setting(), kWide ? kMax16 : 255);
  const int sampleBytes = kWide ? 2 : 1;
  auto source = [&](int i, int j, int c) {
    return call.SourceRow(j) + static_cast<std::ptrdiff_t>(i) * call.sourceBytes + c * sampleBytes;
  };
  auto destination = [&](int i, int j, int c) {
    return call.DestinationRow(j) + static_cast<std::ptrdiff_t>(i) * call.destinationBytes +
           c * sampleBytes;
  };
  const int w = call.width, h = call.height;
  for (int r = 2; r <= h - 3; ++r) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        int sum = 0;
        for (int rr = r - 2; rr <= r + 1; ++rr) {
          for (int xx = x - 2; xx <= x + 1; ++xx) sum += ReadSample<kWide>(source(xx, rr, c));
        }
        WriteSample<kWide>(destination(x, r, c), sum >> 4);
      }
    }
  }
  for (int r = 2; r <= h - 3; ++r) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int o = ReadSample<kWide>(source(x, r, c));
        const int b = ReadSample<kWide>(destination(x, r, c));
        WriteSample<kWide>(destination(x, r, c), table.Apply(o, b));
      }
    }
  }
  return 1;
}

template <bool kWide>
std::int32_t SharpnessReferenceKernel(FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state =
      DecodeFilterCall(variant, destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  return SharpnessReference<kWide>(ChannelsOf(variant), call);
}

template <bool kWide>
std::int32_t RunSharpnessRows(int channels, KernelCall call) {
  const int size = kWide ? 2 : 1;
  const int bytes = call.sourceBytes;
  const int e = bytes / size;
  const bool supported = call.destinationBytes == bytes && bytes % size == 0 &&
                         (channels == 1 ? e == 1 : (e == 3 || e == 4));
  if (!supported) return SharpnessReference<kWide>(channels, call);
  if (call.width <= 4 || call.height <= 4) return 1;
  SourceSnapshot snapshot;
  if (!snapshot.Take(&call)) return 0;

  const SharpenTable table(call.Setting(), kWide ? kMax16 : 255);
  const int elements = call.width * e;
  std::unique_ptr<std::uint16_t[]> sums(new (std::nothrow) std::uint16_t[elements]);
  if (!sums) return 0;
  const SharpnessRowForm row = FastestSharpnessRow(kWide, table);
  for (int r = 2; r <= call.height - 3; ++r) {
    RowJob job{
        {call.SourceRow(r - 2), call.SourceRow(r - 1), call.SourceRow(r), call.SourceRow(r + 1)},
        call.SourceRow(r),
        call.DestinationRow(r),
        elements,
        e,
        sums.get(),
        nullptr,
        r > 2 ? call.SourceRow(r - 3) : nullptr};
    row(job, table);
  }
  return 1;
}

template <bool kWide>
SharpnessRowForm FastestRow(const SharpenTable& table) {
  const bool vectorArithmetic =
      table.s >= -VectorSharpnessLimit(table.full) && table.s <= VectorSharpnessLimit(table.full);
#if ORVEX_X86
  if (vectorArithmetic && TestCpuFeature(kCpuHasAvx2)) return &SharpnessRow_AVX2<kWide>;
  if (vectorArithmetic && TestCpuFeature(kCpuHasSse2)) return &SharpnessRow_SSE2<kWide>;
#else
  (void)vectorArithmetic;
#endif
  return &SharpnessRow_C<kWide>;
}

// For each total shift k = 16 + down - up, every entry bounds the multiplier M from both sides:
// t x 2^k <= v x M < (t + 1) x 2^k, the upper bound falling away where t is full scale and the
// clamp gives it. The least M within all bounds is then checked entry by entry, as the row forms
// compute it.
template <class Entry>
bool FindScale(const Entry* table, int full, SampleScale* scale) {
  int maxUp = 0;
  while ((full << (maxUp + 1)) < 65536) ++maxUp;
  for (int k = 16 - maxUp; k <= 31; ++k) {
    const std::int64_t lo = LeastLineMultiplier(table, full + 1, full, 0, k, 65535);
    if (lo < 0) continue;
    SampleScale candidate;
    candidate.multiplier = static_cast<std::uint32_t>(lo);
    candidate.up = k < 16 ? 16 - k : 0;
    candidate.down = k > 16 ? k - 16 : 0;
    candidate.full = full;
    const std::uint64_t largest =
        ((static_cast<std::uint64_t>(full) << candidate.up) * static_cast<std::uint64_t>(lo)) >> k;
    bool exact = largest < 32768;
    for (int v = 0; v <= full && exact; ++v) exact = candidate.Apply(v) == table[v];
    if (exact) {
      *scale = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindSampleScale(const std::uint8_t* table, int full, SampleScale* scale) {
  return FindScale(table, full, scale);
}

bool FindSampleScale(const std::uint16_t* table, int full, SampleScale* scale) {
  return FindScale(table, full, scale);
}

SharpnessRowForm FastestSharpnessRow(bool wide, const SharpenTable& table) {
  return wide ? FastestRow<true>(table) : FastestRow<false>(table);
}

std::int32_t SharpnessGray8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<false>(FilterVariant::kGray8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessGray16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<true>(FilterVariant::kGray16, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<false>(FilterVariant::kColor8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<true>(FilterVariant::kColor16, ORVEX_FILTER_KERNEL_ARGS);
}

std::int32_t RunSharpness(FilterVariant variant, const KernelCall& call) {
  if (IsWide(variant)) return RunSharpnessRows<true>(ChannelsOf(variant), call);
  return RunSharpnessRows<false>(ChannelsOf(variant), call);
}

}  // namespace orvex::filters
