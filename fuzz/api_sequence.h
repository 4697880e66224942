// Sequences of export calls with hostile arguments, interleaved with faults of the virtual
// camera, decoded from bytes: the body of the API fuzzer and of the tests that replay what it
// found.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex::fuzz {

// Once a process, before the first sequence: a settings directory of its own (in memory where
// there is one) and an application window for child previews.
void PrepareProcess();

// Decodes `data` into calls and faults and runs them. Every handle the sequence made is
// released and the cameras are set back to their start-up state before it returns, so that
// one sequence never leaks into the next.
void RunApiSequence(const std::uint8_t* data, std::size_t size);

}  // namespace orvex::fuzz
