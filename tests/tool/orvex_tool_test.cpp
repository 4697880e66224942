// The orvex command, run as a user runs it, each run with a settings folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <orvex/platform_system.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // the exit status, -1 when it did not end normally within a minute
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvex-tool-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    unsetenv("DISPLAY");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Runs the command with `args` in the test's folder.
  Outcome Run(std::vector<std::string> args) {
    std::vector<char*> argv{const_cast<char*>(ORVEX_TOOL_PATH)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ORVEX_TOOL_PATH, &actions, nullptr, argv.data(), environ);
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) return outcome;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (waitpid(pid, &status, WNOHANG) != pid) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return outcome;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.out = Read(out);
    outcome.err = Read(err);
    return outcome;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }

  // The mean of each of red, green and blue of a PNG file; empty when it cannot be read.
  static std::vector<double> ChannelMeans(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    std::vector<double> means(3);
    for (std::size_t i = 0; i < pixels.size(); ++i) means[i % 3] += pixels[i];
    for (double& mean : means) mean /= static_cast<double>(pixels.size() / 3);
    return means;
  }

  fs::path dir_;
};

TEST_F(ToolTest, InfoGivesTheVersionAsTheProjectNumbersItAndTheFastKernelFeatures) {
  const Outcome info = Run({"info"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("version " ORVEX_PROJECT_VERSION " (0x001f0500)\n"), std::string::npos)
      << info.out;

  std::string kernels = "fast kernels:";
  const std::uint32_t features = OrvexPlatform_KernelFeatures();
  if (features & ORVEX_KERNEL_SSE2) kernels += " SSE2";
  if (features & ORVEX_KERNEL_AVX2) kernels += " AVX2";
  if (features & ORVEX_KERNEL_AVX512) kernels += " AVX-512";
  if (features == 0) kernels += " none (the plain forms only)";
  EXPECT_NE(info.out.find("\n" + kernels + "\n"), std::string::npos) << info.out;
  // Beside the features the library reports for its own processor identification.
  EXPECT_NE(info.out.find("processor: reported 0x"), std::string::npos) << info.out;
}

TEST_F(ToolTest, FailuresNameTheirErrorCodes) {
  struct Case {
    std::vector<std::string> args;
    const char* cameras;  // ORVEX_VIRTUAL_CAMERAS
    const char* message;
  };
  const Case cases[] = {
      {{"snap", "--out", "x.png", "--set", "Gamma=300"},
       "1",
       "orvex: Gamma=300 refused: ErrorParameter (9): an argument is out of range"},
      {{"snap", "--out", "x.png", "--geometry", "1320,1000,640,1024,0,480"},
       "1",
       "orvex: setting the geometry failed: ErrorGeometry (7): the capture geometry is out of "
       "range"},
      {{"snap", "--out", "x.png"},
       "0",
       "orvex: the snapshot failed: ErrorDeviceNotFound (2): no camera is present"},
      {{"stream", "--frames", "3"}, "0", "failed: ErrorDeviceNotFound (2)"},
      {{"bench", "--frames", "1", "--color-mode", "8", "--geometry", "1320,39,1280,1024,1,1024"},
       "1",
       "orvex: setting the geometry failed: ErrorGeometry (7)"},
  };
  for (const Case& c : cases) {
    setenv("ORVEX_VIRTUAL_CAMERAS", c.cameras, 1);
    const Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.status, 1) << c.args[0] << " " << c.message;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
  unsetenv("ORVEX_VIRTUAL_CAMERAS");
}

// A command that takes no options refuses any, rather than doing its work and hiding a typing
// error; so does a command with one it does not know.
TEST_F(ToolTest, OptionsACommandDoesNotTakeAreRefused) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info", "--bogus"}, {"devices", "0"}, {"settings", "--x"}, {"snap", "--bogus"}}) {
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 2) << args[0];
    EXPECT_NE(outcome.err.find("usage: orvex " + args[0]), std::string::npos) << outcome.err;
  }
}

TEST_F(ToolTest, BenchSaysThatTheCameraPacingIsOff) {
  const Outcome bench = Run({"bench", "--frames", "2", "--color-mode", "8"});
  ASSERT_EQ(bench.status, 0) << bench.err;
  EXPECT_EQ(bench.out.rfind("camera pacing off: ", 0), 0u) << bench.out;
  EXPECT_NE(bench.out.find(" 8 bits a pixel: 2 frames of 1280 x 1024"), std::string::npos)
      << bench.out;
}

TEST_F(ToolTest, StreamTakesExactlyTheFramesAskedFor) {
  for (const char* frames : {"1", "7"}) {
    const Outcome stream =
        Run({"stream", "--frames", frames, "--geometry", "1320,40,256,1024,0,64"});
    ASSERT_EQ(stream.status, 0) << stream.err;
    EXPECT_NE(stream.out.find(std::string("\ntotal: ") + frames + " frames taken in "),
              std::string::npos)
        << stream.out;
  }
}

// The README's snap example: a colour picture (not the false-colour map of 24 bits) that its
// Gamma makes brighter than the neutral one, not darker.
TEST_F(ToolTest, ReadmeSnapExampleGivesABrighterColourPicture) {
  std::ifstream readme(ORVEX_README_PATH);
  std::string line;
  std::vector<std::string> args;
  while (std::getline(readme, line)) {
    if (line.rfind("orvex snap ", 0) != 0) continue;
    std::istringstream words(line.substr(0, line.find('#')));
    std::string word;
    words >> word;  // orvex
    while (words >> word) args.push_back(word);
    break;
  }
  ASSERT_FALSE(args.empty()) << "no `orvex snap` example in the README";
  std::string out, mode = "32";  // the command's default
  bool setsGamma = false;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--out") out = args[i + 1];
    if (args[i] == "--color-mode") mode = args[i + 1];
    if (args[i] == "--set" && args[i + 1].rfind("Gamma=", 0) == 0) setsGamma = true;
  }
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(mode == "32" || mode == "48" || mode == "64") << "colour mode " << mode;

  const Outcome example = Run(args);
  ASSERT_EQ(example.status, 0) << example.err;
  const std::vector<double> shown = ChannelMeans(dir_ / out);
  ASSERT_EQ(shown.size(), 3u);
  const Outcome neutral = Run({"snap", "--out", "neutral.png", "--color-mode", mode});
  ASSERT_EQ(neutral.status, 0) << neutral.err;
  const std::vector<double> plain = ChannelMeans(dir_ / "neutral.png");
  ASSERT_EQ(plain.size(), 3u);
  const double shownLevel = shown[0] + shown[1] + shown[2];
  const double plainLevel = plain[0] + plain[1] + plain[2];
  if (setsGamma) {
    EXPECT_GT(shownLevel, plainLevel * 1.1) << "the README's Gamma darkens the picture";
  } else {
    EXPECT_GT(shownLevel, plainLevel * 0.5);
  }
}

}  // namespace
