// libFuzzer entry points: each input is one sequence of export calls and camera faults.
#include <cstddef>
#include <cstdint>

#include "fuzz/api_sequence.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  orvex::fuzz::PrepareProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvex::fuzz::RunApiSequence(data, size);
  return 0;
}
