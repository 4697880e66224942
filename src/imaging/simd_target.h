#pragma once

// How a kernel file asks for an instruction set. A file named after one (demosaic_avx2.cpp,
// table_map_avx512.cpp) puts its code between ORVEX_TARGET_BEGIN("avx2") and
// ORVEX_TARGET_END, or marks single functions ORVEX_TARGET("avx2"); the rest of the program is
// built for the baseline processor, and base/cpu_features.h decides at run time whether a
// form may run.

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORVEX_X86 1
#define ORVEX_TARGET(isa) __attribute__((target(isa)))
#else
#define ORVEX_X86 0
#define ORVEX_TARGET(isa)
#endif

#if defined(__GNUC__)
#define ORVEX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ORVEX_ALWAYS_INLINE inline
#endif

#define ORVEX_PRAGMA(...) _Pragma(#__VA_ARGS__)
#if defined(__clang__)
#define ORVEX_TARGET_BEGIN(isa) \
  ORVEX_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define ORVEX_TARGET_END ORVEX_PRAGMA(clang attribute pop)
#elif defined(__GNUC__)
#define ORVEX_TARGET_BEGIN(isa) ORVEX_PRAGMA(GCC push_options) ORVEX_PRAGMA(GCC target(isa))
#define ORVEX_TARGET_END ORVEX_PRAGMA(GCC pop_options)
#else
#define ORVEX_TARGET_BEGIN(isa)
#define ORVEX_TARGET_END
#endif

// Entry points of vector code realign the stack on 32-bit x86, whose callers may only keep it
// 4-byte aligned.
#if defined(__GNUC__) && defined(__i386__)
#define ORVEX_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define ORVEX_ALIGN_STACK
#endif
