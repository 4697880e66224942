#include "tools/orvex/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace orvex::tool {
namespace {

// Far above the text of the largest image (1320 x 1024 values of up to four characters).
constexpr std::uintmax_t kMaxCsvBytes = std::uintmax_t{64} << 20;

// The shape of CSV text: rows x columns, or false when it is not rows of "v,v,...,v;\r\n" with
// values 0..255 written without leading zeros.
bool CsvShape(const std::vector<char>& text, std::int64_t* rows, std::int64_t* columns) {
  *rows = 0;
  *columns = -1;
  std::size_t at = 0;
  const std::size_t end = text.size();
  while (at < end) {
    std::int64_t count = 0;
    for (;;) {
      const std::size_t start = at;
      int value = 0;
      while (at < end && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
        value = value * 10 + (text[at] - '0');
        ++at;
      }
      const std::size_t digits = at - start;
      if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
      ++count;
      if (at >= end) return false;
      const char separator = text[at++];
      if (separator == ';') break;
      if (separator != ',') return false;
    }
    if (end - at < 2 || text[at] != '\r' || text[at + 1] != '\n') return false;
    at += 2;
    if (*columns >= 0 && count != *columns) return false;
    *columns = count;
    ++*rows;
  }
  return true;
}

// Why a file that reads back wrong is wrong: one more byte appended and synced tells whether
// the disk refuses (full, quota, gone); the byte is taken away again.
int ProbeRegularFile(const std::string& path, off_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  if (::write(fd, "\n", 1) != 1 || ::fsync(fd) != 0) error = errno;
  if (::ftruncate(fd, size) != 0 && error == 0) error = errno;
  ::close(fd);
  return error != 0 ? error : kIncompleteFile;
}

// A device or pipe cannot be read back; an empty write still reports a device that refuses
// data (a full device, a broken link) without adding to what it holds.
int ProbeOtherFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;  // a pipe whose reader has gone: nothing left to check
  int error = 0;
  if (::write(fd, "", 0) < 0 && errno != EAGAIN) error = errno;
  ::close(fd);
  return error;
}

}  // namespace

std::string DescribeWriteError(int error) {
  if (error == kIncompleteFile) return "the file is incomplete";
  std::string text = std::strerror(error);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 32)
  if (const char* name = strerrorname_np(error)) text += std::string(" (") + name + ")";
#endif
  return text;
}

int ReportWriteFailure(const std::string& path, int error) {
  std::fprintf(stderr, "orvex: cannot write %s: %s\n", path.c_str(),
               DescribeWriteError(error).c_str());
  return 1;
}

int FinishFile(std::FILE* file, int writeError) {
  int error = writeError;
  if (std::fflush(file) != 0 && error == 0) error = errno;
  if (error == 0 && std::ferror(file)) error = kIncompleteFile;
  struct stat status {};
  if (error == 0 && ::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      ::fsync(::fileno(file)) != 0) {
    error = errno;
  }
  if (std::fclose(file) != 0 && error == 0) error = errno;
  return error;
}

int CheckCsvFile(const std::string& path, std::int32_t width, std::int32_t height) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return errno;
  if (!S_ISREG(status.st_mode)) return ProbeOtherFile(path);
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxCsvBytes) {
    return ProbeRegularFile(path, status.st_size);
  }

  std::ifstream file(path, std::ios::binary);
  if (!file) return errno != 0 ? errno : kIncompleteFile;
  const std::vector<char> text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
  std::int64_t rows = 0, columns = 0;
  const bool known = width > 0 && height > 0;
  if (!CsvShape(text, &rows, &columns) || (known && (rows != height || columns != width))) {
    return ProbeRegularFile(path, status.st_size);
  }
  // Whole in memory; now on the disk too (a delayed allocation may fail only here).
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) != 0 ? errno : 0;
  ::close(fd);
  return error;
}

}  // namespace orvex::tool
