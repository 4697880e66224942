#pragma once

// The table mapping that gamma, contrast and brightness share, in its forms: the plain runs
// here and in table_map.cpp, the vector runs in table_map_avx2.cpp and table_map_avx512.cpp.

#include <cstddef>
#include <cstdint>

#include "imaging/kernel_call.h"

namespace orvex::filters {

// The rows of a call as runs of contiguous bytes: one run when neither side has padding.
template <class Run>
void ForEachRun(const KernelCall& call, std::size_t rowBytes, Run run) {
  if (call.height > 1 && call.sourceStride == static_cast<std::ptrdiff_t>(rowBytes) &&
      call.destinationStride == static_cast<std::ptrdiff_t>(rowBytes)) {
    run(call.DestinationRow(0), call.SourceRow(0), rowBytes * call.height);
    return;
  }
  for (std::int32_t j = 0; j < call.height; ++j) {
    run(call.DestinationRow(j), call.SourceRow(j), rowBytes);
  }
}

// One run of `n` bytes, every byte a sample; or of `pixels` pixels of four bytes whose fourth
// byte is left as it is (Bgrx). The 16-bit runs take words, a word above 1023 read as 1023.
void LookupRun_C(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const std::uint8_t* table);
void LookupBgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                  const std::uint8_t* table);
void Lookup16Run_C(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                   const std::uint16_t* table);
void Lookup16Bgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                    const std::uint16_t* table);

// Every row of a call whose pixels are all samples (`whole`) or blue, green, red and a kept
// fourth byte, with the destination in place of or apart from the source.
void MapRuns8_AVX2(const KernelCall& call, const std::uint8_t* table, bool whole);
void MapRuns8_AVX512(const KernelCall& call, const std::uint8_t* table, bool whole);
// Rows whose every word is a sample.
void MapRuns16_AVX2(const KernelCall& call, const std::uint16_t* table);

}  // namespace orvex::filters
