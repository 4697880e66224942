#pragma once

// The few C library calls the tests make that differ between Linux and Windows.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace orvex::testing {

inline void SetEnvironment(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv((std::string(name) + "=" + value).c_str());
#else
  ::setenv(name, value, 1);
#endif
}

// Removes the variable (on Windows an empty value is the same thing).
inline void UnsetEnvironment(const char* name) {
#if defined(_WIN32)
  _putenv((std::string(name) + "=").c_str());
#else
  ::unsetenv(name);
#endif
}

inline int ProcessId() {
#if defined(_WIN32)
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

// Makes the test's own floating-point arithmetic IEEE double precision, as the library's is:
// on 32-bit x86 without SSE2 the x87 unit computes, and a MinGW program starts it at 64 bits.
// Models that tests compute from the definitions then round as the library does.
inline void UseDoublePrecisionArithmetic() {
#if defined(__i386__) && !defined(__SSE2_MATH__)
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control) : : "memory");
  control = static_cast<unsigned short>((control & ~0x0F00u) | 0x0200u);
  __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
#endif
}

// A new, empty directory below the system's temporary directory (memory-backed /dev/shm where
// there is one: every settings write syncs its file, and the disk is shared with other builds);
// empty when none could be made.
inline std::filesystem::path MakeTemporaryDirectory(const std::string& prefix) {
  std::random_device random;
  std::error_code shm;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", shm)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        base / (prefix + std::to_string(ProcessId()) + "-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(path, error)) return path;
  }
  return {};
}

}  // namespace orvex::testing
