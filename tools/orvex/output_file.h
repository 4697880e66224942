// Files the orvex command writes: each is checked once written, and a failure is reported with
// the error's name and the path, so that a full disk or a vanished directory never passes for a
// picture on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orvex::tool {

// A failure that has no error number of the system: the file came out shorter or other than
// written, with every call reporting success.
inline constexpr int kIncompleteFile = -1;

// The error's name for a report: "No space left on device (ENOSPC)".
std::string DescribeWriteError(int error);

// Prints "orvex: cannot write PATH: ERROR" and returns the command's failure status, 1.
int ReportWriteFailure(const std::string& path, int error);

// Closes a file that the command wrote with stdio, after flushing it to the disk: 0, or the
// first error (errno) of the writes (`writeError`, 0 when they went well), the flush or the
// close.
int FinishFile(std::FILE* file, int writeError);

// The library writes a CSV file and reports success whatever its writes did, so the command
// reads the file back: rows of comma-separated values 0..255, each ending with ";" and CR LF,
// all rows alike; `width` x `height` of them when both are known (non-zero). 0 when the file is
// whole, else the error that spoilt it (found by one more write where the system can tell,
// kIncompleteFile where it cannot).
int CheckCsvFile(const std::string& path, std::int32_t width, std::int32_t height);

}  // namespace orvex::tool
