#include "export/csv_writer.h"

#include <array>
#include <cstring>

namespace orvex {
namespace {

// The decimal text of every byte value, without leading zeros.
struct DecimalText {
  char chars[3];
  std::uint8_t length;
};

constexpr std::array<DecimalText, 256> MakeDecimalTable() {
  std::array<DecimalText, 256> table{};
  for (int v = 0; v < 256; ++v) {
    DecimalText& text = table[v];
    if (v >= 100) {
      text = {{static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
               static_cast<char>('0' + v % 10)},
              3};
    } else if (v >= 10) {
      text = {{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10), 0}, 2};
    } else {
      text = {{static_cast<char>('0' + v), 0, 0}, 1};
    }
  }
  return table;
}

constexpr std::array<DecimalText, 256> kDecimal = MakeDecimalTable();

// Text is gathered here and written in large pieces; the bytes are those of one write per
// value block.
class TextSink {
 public:
  explicit TextSink(OutputFile& file) : file_(file) {}
  ~TextSink() { Flush(); }

  void Value(std::uint8_t v, char separator) {
    if (used_ + 4 > buffer_.size()) Flush();
    const DecimalText& text = kDecimal[v];
    std::memcpy(buffer_.data() + used_, text.chars, 3);
    used_ += text.length;
    buffer_[used_++] = separator;
  }
  void LineEnd() {
    if (used_ + 2 > buffer_.size()) Flush();
    buffer_[used_++] = '\r';
    buffer_[used_++] = '\n';
  }
  void Flush() {
    if (used_ != 0) file_.Write(buffer_.data(), used_);
    used_ = 0;
  }

 private:
  OutputFile& file_;
  std::array<char, 16384> buffer_;
  std::size_t used_ = 0;
};

}  // namespace

OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Open(const char* path) {
  Close();
  failed_ = false;
  if (path == nullptr) return false;
  file_ = std::fopen(path, "wb");
  return file_ != nullptr;
}

void OutputFile::Write(const char* data, std::size_t length) {
  if (file_ == nullptr || failed_) return;
  failed_ = std::fwrite(data, 1, length, file_) != length;
}

bool OutputFile::Close() {
  if (file_ == nullptr) return false;
  // The stream's buffer reaches the file only here, so a full disk may show only now.
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed && !failed_;
}

bool WriteCsvImage(const char* path, const std::uint8_t* pixels, std::int32_t width,
                   std::int32_t height, std::uint32_t stride) {
  OutputFile file;
  if (!file.Open(path)) return false;
  if (pixels != nullptr && width > 0 && height > 0) {
    TextSink sink(file);
    for (std::int32_t row = 0; row < height; ++row) {
      const std::uint8_t* samples = pixels + static_cast<std::size_t>(row) * stride;
      for (std::int32_t column = 0; column + 1 < width; ++column) sink.Value(samples[column], ',');
      sink.Value(samples[width - 1], ';');
      sink.LineEnd();
    }
  }
  return file.Close();
}

}  // namespace orvex
