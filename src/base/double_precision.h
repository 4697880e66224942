#pragma once

// Floating-point results that do not depend on the host program.
//
// The library's tables, factors and ratios are defined in IEEE double (and single) precision
// arithmetic. GCC for 32-bit x86 without SSE2 computes in the x87 unit instead, at the precision
// its control word holds, which the program that loaded the library chose: a MinGW program runs
// at 64 bits, an MSVC one at 53, a Direct3D one perhaps at 24. A product then rounds differently,
// and a truncated result can come out one lower.
//
// WithDoublePrecision runs a computation with the x87 unit set to 53 bits and to rounding to
// nearest, and puts the host's setting back afterwards: every operation then rounds to double
// exactly as SSE2 does (the x87's wider exponent range only matters beyond the range of double,
// which these computations never reach). Where doubles are computed in SSE registers (64-bit
// x86, or -mfpmath=sse) it only runs the computation. RoundToDouble and RoundToFloat round a
// value kept in a wider register to its type, as C++ does not promise for GCC's x87 code.

#include <utility>

#if defined(__i386__) && !defined(__SSE2_MATH__)
#define ORVEX_X87_ARITHMETIC 1
#else
#define ORVEX_X87_ARITHMETIC 0
#endif

namespace orvex {

#if ORVEX_X87_ARITHMETIC

namespace detail {

inline unsigned short ReadX87Control() {
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control) : : "memory");
  return control;
}

inline void WriteX87Control(unsigned short control) {
  __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
}

// The computation in a call of its own, which the compiler cannot move across the changes of
// the control word.
template <typename Fn>
__attribute__((noinline, noipa)) decltype(auto) CallApart(Fn& fn) {
  return fn();
}

class X87DoublePrecision {
 public:
  X87DoublePrecision() : saved_(ReadX87Control()) {
    // Precision control (bits 8 and 9) 10: 53 bits; rounding control (bits 10 and 11) 00.
    WriteX87Control(static_cast<unsigned short>((saved_ & ~0x0F00u) | 0x0200u));
  }
  ~X87DoublePrecision() { WriteX87Control(saved_); }
  X87DoublePrecision(const X87DoublePrecision&) = delete;
  X87DoublePrecision& operator=(const X87DoublePrecision&) = delete;

 private:
  unsigned short saved_;
};

}  // namespace detail

template <typename Fn>
decltype(auto) WithDoublePrecision(Fn&& fn) {
  detail::X87DoublePrecision precision;
  return detail::CallApart(fn);
}

inline double RoundToDouble(double value) {
  volatile double stored = value;
  return stored;
}

inline float RoundToFloat(float value) {
  volatile float stored = value;
  return stored;
}

#else

template <typename Fn>
decltype(auto) WithDoublePrecision(Fn&& fn) {
  return std::forward<Fn>(fn)();
}

inline double RoundToDouble(double value) {
  return value;
}

inline float RoundToFloat(float value) {
  return value;
}

#endif

}  // namespace orvex
