#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/pixel_kernel.h"

namespace orvex::testing {

// Pixels in an allocation of exactly their size, rows packed without padding unless a stride is
// given: a kernel that reads or writes past the last byte leaves the allocation, which the
// address sanitizer reports at once.
struct Frame {
  Frame(int w, int h, int bytesPerPixel, std::ptrdiff_t rowStride = 0)
      : width(w),
        height(h),
        bytes(bytesPerPixel),
        stride(rowStride != 0 ? rowStride : static_cast<std::ptrdiff_t>(w) * bytesPerPixel),
        size(static_cast<std::size_t>(stride) * h),
        memory(new std::uint8_t[size == 0 ? 1 : size]) {
    std::memset(memory.get(), 0, size);
  }
  Frame(const Frame& other) : Frame(other.width, other.height, other.bytes, other.stride) {
    std::memcpy(memory.get(), other.memory.get(), size);
  }
  Frame& operator=(const Frame&) = delete;

  std::uint8_t* pixels() const { return memory.get(); }
  std::uint8_t* At(int column, int row) const {
    return memory.get() + row * stride + static_cast<std::ptrdiff_t>(column) * bytes;
  }
  std::uint16_t Word(int column, int row, int index) const {
    std::uint16_t v;
    std::memcpy(&v, At(column, row) + 2 * index, sizeof v);
    return v;
  }
  void SetWord(int column, int row, int index, std::uint16_t v) {
    std::memcpy(At(column, row) + 2 * index, &v, sizeof v);
  }
  void Fill(std::uint8_t v) { std::memset(memory.get(), v, size); }
  void Randomize(std::mt19937& rng) {
    for (std::size_t i = 0; i < size; ++i) memory[i] = static_cast<std::uint8_t>(rng());
  }
  // 16-bit words below `limit`.
  void RandomizeWords(std::mt19937& rng, std::uint32_t limit) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      const auto v = static_cast<std::uint16_t>(rng() % limit);
      std::memcpy(memory.get() + i, &v, 2);
    }
  }
  bool operator==(const Frame& other) const {
    return size == other.size && std::memcmp(memory.get(), other.memory.get(), size) == 0;
  }

  int width, height, bytes;
  std::ptrdiff_t stride;
  std::size_t size;
  std::unique_ptr<std::uint8_t[]> memory;
};

// Runs a kernel over the whole source (or `region`), placed at (x, y) of the destination.
inline std::int32_t RunKernel(PixelKernel kernel, Frame& destination, const Frame& source,
                              BayerRecord record, const std::int32_t* region = nullptr,
                              std::int32_t x = 0, std::int32_t y = 0) {
  const std::int32_t whole[4] = {0, 0, source.width, source.height};
  void* parameter = &record;
  return kernel(destination.pixels(), source.pixels(), region != nullptr ? region : whole, x, y,
                destination.bytes, source.bytes, static_cast<std::int32_t>(destination.stride),
                static_cast<std::int32_t>(source.stride), &parameter, 0);
}

// The rows call of a demosaic over the whole source, decoded as the frame pipeline decodes it
// for its bands; the source's bytes a sample pick 8- or 16-bit samples.
inline CallState DecodeWholeFrame(Frame& destination, const Frame& source, BayerRecord record,
                                  bayer::DemosaicCall* call) {
  const std::int32_t whole[4] = {0, 0, source.width, source.height};
  void* parameter = &record;
  return bayer::DecodeDemosaicCall(
      destination.pixels(), source.pixels(), whole, 0, 0, destination.bytes, source.bytes,
      static_cast<std::int32_t>(destination.stride), static_cast<std::int32_t>(source.stride),
      &parameter, source.bytes == 2 ? bayer::kNeeds16 : bayer::kNeeds8, call);
}

inline BayerRecord Record(int mode, int red = 100, int blue = 100, int green = 100) {
  return BayerRecord{mode, red, green, blue};
}

}  // namespace orvex::testing
