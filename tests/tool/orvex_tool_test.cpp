// The orvex command, run as a user runs it, each run with a settings folder of its own; and the
// part of orvex preview around its dialogs, run in this process with the dialogs headless.
#include <OrvexSdk_QX218.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
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

#include "tools/orvex/capture_options.h"
#include "tools/orvex/property_dialogs.h"
#include "tools/orvex/stored_settings.h"

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

  // Puts a settings file holding Exposure 40 and this AutoIris for device 0 in place of the old.
  void StoreAnalog(int autoIris) {
    const fs::path folder = dir_ / "config" / "Helvane";
    fs::create_directories(folder);
    std::ofstream(folder / "new.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\"
        << orvex::tool::kMainKey << "\\Gain_00]\r\n\"Exposure\"=dword:00000028\r\n"
        << "\"AutoIris\"=dword:0000000" << autoIris << "\r\n";
    fs::rename(folder / "new.reg", folder / "OrvexQX218Sdk.reg");
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

// Each failure says what went wrong, with the library's error code where there is one.
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
      {{"snap", "--out", "h.png", "--camera-image", "b.png", "--device", "7"},
       "1",
       "orvex: no virtual camera 7\n"},
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

// The automatic exposure measures one frame in three and corrects the frames after it: snap takes
// frames until it has settled, so a dark exposure comes out brighter than without it.
TEST_F(ToolTest, SnapWithTheAutomaticExposureBrightensADarkExposure) {
  const Outcome dark = Run({"snap", "--out", "dark.png", "--set", "ExposureTime=400"});
  ASSERT_EQ(dark.status, 0) << dark.err;
  const Outcome corrected =
      Run({"snap", "--out", "auto.png", "--set", "ExposureTime=400", "--auto-exposure"});
  ASSERT_EQ(corrected.status, 0) << corrected.err;
  const std::vector<double> plain = ChannelMeans(dir_ / "dark.png");
  const std::vector<double> brighter = ChannelMeans(dir_ / "auto.png");
  ASSERT_EQ(plain.size(), 3u);
  ASSERT_EQ(brighter.size(), 3u);
  for (int c = 0; c < 3; ++c) EXPECT_GT(brighter[c], plain[c] * 2) << "channel " << c;
}

// The automatic gain (AutoIris 2, from the analog dialog) has no setter to come back through:
// --auto-exposure is refused rather than replacing it for good.
TEST_F(ToolTest, AutoExposureLeavesAStoredAutomaticGainAlone) {
  StoreAnalog(2);
  const Outcome snap = Run({"snap", "--out", "d.png", "--auto-exposure"});
  EXPECT_EQ(snap.status, 1);
  EXPECT_NE(snap.err.find("--auto-exposure refused: the camera is set to the automatic gain "
                          "(AutoIris 2)"),
            std::string::npos)
      << snap.err;
  EXPECT_FALSE(fs::exists(dir_ / "d.png"));
  const Outcome settings = Run({"settings"});
  EXPECT_NE(settings.out.find(", AutoIris 2\n"), std::string::npos) << settings.out;
}

// orvex preview puts back what --set and --auto-exposure changed, but not what the user changed
// since in a dialog (OK and Cancel both return 1: only the values tell). Each case: the options
// applied, the dialog opened as the viewer opens it, a control of its page typed into or
// clicked, the dialog closed, the run's values put back and the handle released.
TEST_F(ToolTest, PreviewKeepsWhatTheUserChangesInADialog) {
  enum : std::int32_t { kAnalog = 1, kImage = 2, kOk = 1, kExposureEdit = 1027 };
  const struct {
    const char* what;
    const char* options;  // separated by spaces
    int storedAutoIris;
    int dialog;  // index into kPropertyDialogs
    std::int32_t control;
    const char* typed;                                      // null: the control is clicked
    std::int32_t brightness, contrast, exposure, autoIris;  // stored afterwards
  } cases[] = {
      {"Brightness typed: kept; Contrast untouched: put back",
       "--set Brightness=5 --set Contrast=7", 0, kImage, 2002, "255", 255, 0, 40, 0},
      {"the exposure typed", "--set ExposureTime=100", 0, kAnalog, kExposureEdit, "60", 0, 0, 60,
       0},
      {"the automatic exposure switched off", "--auto-exposure", 1, kAnalog, 1037, nullptr, 0, 0,
       40, 0},
      // Still on, the automatic exposure moves any exposure: there is no choice to keep.
      {"the exposure typed under the automatic exposure", "--auto-exposure", 0, kAnalog,
       kExposureEdit, "60", 0, 0, 40, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StoreAnalog(c.storedAutoIris);
    std::istringstream words(c.options);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    orvex::tool::CaptureOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
      ASSERT_EQ(orvex::tool::ParseCaptureOption(args, &i, &options), 1);
    }
    const CameraHandle handle = Orvex_Initialize(0);
    orvex::tool::SavedSettings saved;
    ASSERT_TRUE(orvex::tool::ApplyCaptureOptions(handle, options, &saved));
    std::thread modal([&] {
      orvex::tool::OpenKeepingChanges(orvex::tool::kPropertyDialogs[c.dialog], handle, 0, &saved);
    });
    const OrvexWindow dialog = OrvexPlatform_WaitForDialog(10000);
    if (dialog == OrvexWindow{}) modal.detach();
    ASSERT_NE(dialog, OrvexWindow{});
    const OrvexWindow page = OrvexPlatform_GetDialogPage(dialog, 0);
    EXPECT_EQ(c.typed != nullptr ? OrvexPlatform_SetItemText(page, c.control, c.typed)
                                 : OrvexPlatform_ClickItem(page, c.control),
              1);
    EXPECT_EQ(OrvexPlatform_ClickItem(dialog, kOk), 1);
    modal.join();
    orvex::tool::RestoreSettings(handle, saved);
    ASSERT_EQ(Orvex_Release(handle), 1);

    const orvex::tool::StoredKey filter(orvex::tool::Subkey("Filter"));
    const orvex::tool::StoredKey analog(orvex::tool::Subkey("Gain_00"));
    std::int32_t stored[4] = {-1, -1, -1, -1};
    filter.Read("Brightness", &stored[0]);
    filter.Read("Contrast", &stored[1]);
    analog.Read("Exposure", &stored[2]);
    analog.Read("AutoIris", &stored[3]);
    EXPECT_EQ(std::vector<std::int32_t>(stored, stored + 4),
              (std::vector<std::int32_t>{c.brightness, c.contrast, c.exposure, c.autoIris}));
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
