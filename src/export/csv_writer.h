#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace orvex {

// The owner of one file open for writing; closes it when it goes.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Empties an existing file or creates a new one (fopen "wb" does both: truncate what exists,
  // else create); false when neither works, for example in a directory that does not exist.
  bool Open(const char* path);
  void Write(const char* data, std::size_t length);
  // True when every write reached the file and it closed cleanly; a full disk or a failing
  // device leaves the file short, and saying so is the only way the caller learns of it.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Writes an 8-bit image as comma-separated decimal text: one line per buffer row in memory
// order from row 0, the samples separated by ",", each line closed by ";" CR LF. An image with
// no width or height gives an empty file. False when the file could not be opened or did not
// receive all of the text (it is then left short).
bool WriteCsvImage(const char* path, const std::uint8_t* pixels, std::int32_t width,
                   std::int32_t height, std::uint32_t stride);

}  // namespace orvex
