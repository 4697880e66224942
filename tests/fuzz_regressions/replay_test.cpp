// Every checked-in fuzzer input runs clean: the seeds (so that the fuzzer's starting points keep
// working as the library changes) and the inputs it once crashed on (so that those stay fixed).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/api_sequence.h"

namespace {

std::vector<std::filesystem::path> Inputs(const char* folder) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path dir = std::filesystem::path(ORVEX_FUZZ_DIR) / folder;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

void Replay(const char* folder) {
  const std::vector<std::filesystem::path> files = Inputs(folder);
  if (files.empty()) GTEST_SKIP() << "nothing in fuzz/" << folder;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    orvex::fuzz::RunApiSequence(bytes.data(), bytes.size());
  }
}

TEST(FuzzReplay, SeedCorpus) {
  Replay("corpus");
}

TEST(FuzzReplay, EarlierFindings) {
  Replay("regressions");
}

}  // namespace
