#include "platform/posix/reg_file_store.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "settings/registry_settings.h"

namespace orvex::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using settings::SizeTable;

const std::string kMain = "Software\\Helvane\\OrvexQX218Sdk";

// The registry editor's file after the first start, CRLF as it writes them.
const char kFirstRunText[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk]\r\n"
    "\"Size\"=dword:00000000\r\n"
    "\"Color\"=dword:00000002\r\n"
    "\"SubSample\"=dword:00000000\r\n"
    "\"WaitTime\"=dword:0000000a\r\n"
    "\"Clock\"=dword:00000000\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\r\n"
    "\"TH\"=dword:00000528\r\n"
    "\"TV\"=dword:00000400\r\n"
    "\"EH\"=dword:00000500\r\n"
    "\"EV\"=dword:00000400\r\n"
    "\"EHS\"=dword:00000027\r\n"
    "\"EVS\"=dword:00000000\r\n"
    "\"Buf\"=dword:00000014\r\n"
    "\r\n";

class RegFileStoreTest : public ::testing::Test {
 protected:
  RegFileStoreTest() {
    // Memory-backed when there is one: every write syncs the file, and the disk is shared.
    const char* tmpdir = std::getenv("TMPDIR");
    const fs::path base = access("/dev/shm", W_OK) == 0            ? fs::path("/dev/shm")
                          : tmpdir != nullptr && tmpdir[0] != '\0' ? fs::path(tmpdir)
                                                                   : fs::path("/tmp");
    std::string pattern = (base / "orvex-settings-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    directory = pattern;
    file = (directory / "config" / "Helvane" / "OrvexQX218Sdk.reg").string();
  }
  ~RegFileStoreTest() override {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }

  std::string FileText() const {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void WriteFileText(const std::string& text) const {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

  std::optional<std::int32_t> Read(RegistryStore& store, const std::string& key,
                                   const std::string& name) const {
    const RegistryKey handle = store.OpenKey(key);
    if (handle == 0) return std::nullopt;
    std::int32_t value = 0;
    const bool found = store.ReadDword(handle, name, &value);
    store.CloseKey(handle);
    return found ? std::optional(value) : std::nullopt;
  }

  bool Write(RegistryStore& store, const std::string& key, const std::string& name,
             std::int32_t value) const {
    const RegistryKey handle = store.CreateKey(key);
    const bool written = handle != 0 && store.WriteDword(handle, name, value);
    store.CloseKey(handle);
    return written;
  }

  // The inode of the file: a commit replaces the file by another one.
  ino_t Inode() const {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
  }

  fs::path directory;
  std::string file;
};

TEST(RegFileStorePath, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(RegFileStore::PathFor("/x/cfg", "/home/u"), "/x/cfg/Helvane/OrvexQX218Sdk.reg");
  EXPECT_EQ(RegFileStore::PathFor("", "/home/u"), "/home/u/.config/Helvane/OrvexQX218Sdk.reg");
  EXPECT_EQ(RegFileStore::PathFor(nullptr, "/home/u"), "/home/u/.config/Helvane/OrvexQX218Sdk.reg");
  EXPECT_EQ(RegFileStore::PathFor("relative", "/home/u"),
            "/home/u/.config/Helvane/OrvexQX218Sdk.reg");
  EXPECT_EQ(RegFileStore::PathFor(nullptr, ""), "");
}

TEST_F(RegFileStoreTest, EnvironmentChoosesTheFile) {
  setenv("XDG_CONFIG_HOME", (directory / "config").c_str(), 1);
  EXPECT_EQ(RegFileStore().path(), file);
  setenv("XDG_CONFIG_HOME", "", 1);
  setenv("HOME", directory.c_str(), 1);
  EXPECT_EQ(RegFileStore().path(), (directory / ".config/Helvane/OrvexQX218Sdk.reg").string());
  // A relative HOME would follow the working directory: the password file's home serves.
  setenv("HOME", "relative/home", 1);
  const passwd* user = getpwuid(getuid());
  EXPECT_EQ(RegFileStore().path(), RegFileStore::PathFor(nullptr, user ? user->pw_dir : ""));
  setenv("HOME", directory.c_str(), 1);
}

TEST_F(RegFileStoreTest, FirstRunWritesTheExactFile) {
  RegFileStore store(file);
  EXPECT_EQ(store.OpenKey(kMain), 0u);
  EXPECT_FALSE(fs::exists(file));  // reading creates nothing

  CaptureGeometry geometry;
  EXPECT_FALSE(settings::LoadSizeSettings(store, geometry));
  EXPECT_EQ(FileText(), kFirstRunText);
  // Only the file and its lock file: no temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"OrvexQX218Sdk.reg", "OrvexQX218Sdk.reg.lock"}));

  RegFileStore again(file);
  geometry.EH = 0;
  EXPECT_TRUE(settings::LoadSizeSettings(again, geometry));
  EXPECT_EQ(geometry.EH, 1280);
  EXPECT_EQ(FileText(), kFirstRunText);  // reading rewrites nothing
}

TEST_F(RegFileStoreTest, NegativeValuesRoundTrip) {
  AnalogSettings analog;
  analog.Exposure = -1;
  analog.V_Mirror = INT32_MIN;
  analog.AutoIris = INT32_MAX;
  {
    RegFileStore store(file);
    EXPECT_TRUE(settings::SaveAnalogSettings(store, 5, &analog));
  }
  const std::string text = FileText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Gain_05]\r\n"
                      "\"Global\"=dword:00000000\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"Exposure\"=dword:ffffffff\r\n\"V_Mirror\"=dword:80000000\r\n"
                      "\"AutoIris\"=dword:7fffffff\r\n"),
            std::string::npos);

  RegFileStore store(file);
  AnalogSettings loaded;
  EXPECT_TRUE(settings::LoadAnalogSettings(store, 5, &loaded));
  EXPECT_EQ(loaded.Exposure, -1);
  EXPECT_EQ(loaded.V_Mirror, INT32_MIN);
  EXPECT_EQ(loaded.AutoIris, INT32_MAX);
}

TEST_F(RegFileStoreTest, DamageReadsAsMissingAndTheNextWriteCleansIt) {
  WriteFileText(
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "garbage that is no key\n"
      "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Filter]\n"
      "\"Brightness\"=dword:0000000c\n"
      "\"Contrast\"=dword:0000000\n"  // seven digits
      "\"Hue\"=dword:zzzzzzzz\n"
      "\"Saturation\"=dword:000000011\n"  // nine digits
      "\"Sharpness\"=\"unterminated\n"
      "\"Gamma\"=dword:FFFFFF9C\r\n"  // upper case and CRLF are fine
      "\x01\x02\xff\xfe binary junk \x00 here\n"
      "\"Note\"=\"kept \\\"as\\\" written\"\n"
      "\"Bytes\"=hex:01,02,\\\n"
      "  03\n"
      "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Gray\n"  // no closing bracket
      "\"GainR1\"=dword:00000001\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
      "\"X\"=dword:00000001\n"
      "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\n"
      "\"TH\"=dword:00000528\n"
      "\"TV\"=dword:0000"s);  // cut off
  RegFileStore store(file);
  ImageSettings image;
  image.Contrast = 5;
  image.Hue = 5;
  image.Saturation = 5;
  image.Sharpness = 5;
  EXPECT_TRUE(settings::LoadFilterSettings(store, &image));
  EXPECT_EQ(image.Brightness, 12);
  EXPECT_EQ(image.Contrast, 5);
  EXPECT_EQ(image.Hue, 5);
  EXPECT_EQ(image.Saturation, 5);
  EXPECT_EQ(image.Sharpness, 5);
  EXPECT_EQ(image.Gamma, -100);
  EXPECT_FALSE(settings::LoadGraySettings(store, &image));
  EXPECT_EQ(Read(store, kMain + "\\Size_00", "TH"), 1320);
  EXPECT_EQ(Read(store, kMain + "\\Size_00", "TV"), std::nullopt);

  ASSERT_TRUE(Write(store, kMain + "\\Size_00", "TV", 1024));
  EXPECT_EQ(FileText(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Helvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Filter]\r\n"
            "\"Brightness\"=dword:0000000c\r\n"
            "\"Gamma\"=dword:ffffff9c\r\n"
            "\"Note\"=\"kept \\\"as\\\" written\"\r\n"
            "\"Bytes\"=hex:01,02,03\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\r\n"
            "\"TH\"=dword:00000528\r\n"
            "\"TV\"=dword:00000400\r\n\r\n");
}

TEST_F(RegFileStoreTest, UnusableFilesReadAsMissingAndAreReplacedOnWrite) {
  // Random bytes: the first start sees no settings and writes a clean file.
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919 + 13) % 251));
  WriteFileText(junk);
  RegFileStore store(file);
  CaptureGeometry geometry;
  EXPECT_FALSE(settings::LoadSizeSettings(store, geometry));
  EXPECT_EQ(FileText(), kFirstRunText);

  // An empty file, and a directory in the file's place.
  WriteFileText("");
  EXPECT_EQ(store.OpenKey(kMain), 0u);
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_EQ(store.OpenKey(kMain), 0u);
  EXPECT_EQ(store.CreateKey(kMain), 0u);
}

// A file that cannot be read (here one its reader may not open) holds settings all the same: a
// start reads none and what it saves fails, leaving the file as it was. Root opens any file,
// so the store runs as nobody, in a folder that anyone may write.
TEST_F(RegFileStoreTest, AnUnreadableFileIsLeftAlone) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                           kMain + "\\Filter]\r\n\"Gamma\"=dword:00000005\r\n\r\n";
  WriteFileText(text);
  for (fs::path p = fs::path(file).parent_path(); p != directory.parent_path();
       p = p.parent_path()) {
    fs::permissions(p, fs::perms::all);
  }
  fs::permissions(file, fs::perms::none);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
    RegFileStore store(file);
    ImageSettings image;
    const bool loaded = settings::LoadFilterSettings(store, &image);
    image.Gamma = 6;
    const bool saved = settings::SaveFilterSettings(store, &image);
    _exit(loaded ? 3 : saved ? 4 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: no user to run as, 3: read, 4: replaced";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(FileText(), text);
}

// Root saving in a user's home (sudo keeping HOME) must leave the file to the user.
TEST_F(RegFileStoreTest, AReplacementKeepsTheFilesOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  RegFileStore store(file);
  ASSERT_TRUE(Write(store, kMain, "Size", 0));
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  const ino_t inode = Inode();
  ASSERT_TRUE(Write(store, kMain, "Size", 1));
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_NE(info.st_ino, inode);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Keys the registry refuses are damage, whatever else the file holds: a short line naming a
// key thousands of levels deep would hold a parent key for each level, and be written out
// as megabytes.
TEST_F(RegFileStoreTest, KeysTheRegistryRefusesAreDamage) {
  const auto repeat = [](const std::string& part, int times, const char* separator) {
    std::string text = part;
    for (int i = 1; i < times; ++i) text += separator + part;
    return text;
  };
  const std::string group = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                            kMain + "\\Filter]\r\n\"Gamma\"=dword:00000005\r\n\r\n";
  const struct {
    std::string path;
    bool kept;
  } cases[] = {
      {repeat("a", 512, "\\"), true},
      {repeat("a", 513, "\\"), false},
      {repeat("a", 3000, "\\"), false},  // 9 MB once written: no save could pass the limit
      {std::string(255, 'n'), true},
      {std::string(256, 'n'), false},
      {"Software\\" + repeat("\xC3\xA9", 255, ""), true},  // characters, not bytes
      {"Software\\" + repeat("\xC3\xA9", 256, ""), false},
  };
  for (const auto& [path, kept] : cases) {
    SCOPED_TRACE("a path of " + std::to_string(path.size()) + " bytes");
    WriteFileText(group + "[HKEY_CURRENT_USER\\" + path + "]\r\n\"V\"=dword:00000001\r\n\r\n");
    RegFileStore store(file);
    EXPECT_EQ(Read(store, kMain + "\\Filter", "Gamma"), 5);
    EXPECT_TRUE(Write(store, kMain + "\\Filter", "Gamma", 6));
    EXPECT_EQ(FileText().find("\"V\"") != std::string::npos, kept);
    RegFileStore next(file);
    EXPECT_EQ(Read(next, path, "V"), kept ? std::optional(1) : std::nullopt);
  }

  // Keys within those limits still count with the parents the file leaves out: a few lines
  // that would be written as megabytes make a file someone else's, read as missing and left
  // alone.
  std::string text = group;
  for (int k = 0; k < 16; ++k) {
    text += "[HKEY_CURRENT_USER\\" + repeat("k" + std::to_string(k), 512, "\\") + "]\r\n\r\n";
  }
  WriteFileText(text);
  RegFileStore store(file);
  EXPECT_EQ(Read(store, kMain + "\\Filter", "Gamma"), std::nullopt);
  EXPECT_FALSE(Write(store, kMain + "\\Filter", "Gamma", 6));
  EXPECT_EQ(FileText(), text);
}

// Damage of every kind at random places: every value on a line left whole reads as before, a
// start and a release keep every one of them, and leave a clean file that the next release,
// changing nothing, does not touch.
TEST_F(RegFileStoreTest, DamageCostsOnlyTheDamagedLines) {
  std::string whole = "Windows Registry Editor Version 5.00\r\n\r\n";
  std::vector<std::pair<std::string, std::string>> values;  // another program's keys
  for (int k = 0; k < 12; ++k) {
    const std::string key = "Software\\Other\\K" + std::to_string(k);
    whole += "[HKEY_CURRENT_USER\\" + key + "]\r\n";
    for (int v = 0; v < 4; ++v) {
      char line[48];
      std::snprintf(line, sizeof line, "\"V%d\"=dword:%08x\r\n", v, k * 16 + v);
      whole += line;
      values.emplace_back(key, "V" + std::to_string(v));
    }
    whole += "\r\n";
  }
  const char* const pieces[] = {"\0", "\r", "\n", "[", "]", "\"", "\\", "=", "\xff\xfe", "dword:"};
  const auto seed = std::random_device()();
  std::mt19937 random(seed);
  const auto at = [&](std::size_t size) {
    return std::uniform_int_distribution<std::size_t>(0, size)(random);
  };
  for (int round = 0; round < 300; ++round) {
    std::string text = whole;
    switch (round % 5) {
      case 0:  // bytes changed
        for (int n = 1 + round % 4; n > 0; --n)
          text[at(text.size() - 1)] = static_cast<char>(random());
        break;
      case 1:  // cut off
        text.resize(at(text.size()));
        break;
      case 2:  // characters that mean something to the format, put anywhere
        for (int n = 1 + round % 3; n > 0; --n) text.insert(at(text.size()), pieces[random() % 10]);
        break;
      case 3:  // a stretch lost
        text.erase(at(text.size()), at(40));
        break;
      default:  // a stretch repeated elsewhere
        text.insert(at(text.size()), text.substr(at(text.size()), at(60)));
        break;
    }
    WriteFileText(text);
    RegFileStore store(file);
    std::vector<std::optional<std::int32_t>> before;
    for (const auto& [key, name] : values) before.push_back(Read(store, key, name));
    CaptureGeometry geometry;
    ImageSettings image;
    AnalogSettings analog;
    settings::LoadSizeSettings(store, geometry);
    settings::LoadFilterSettings(store, &image);
    settings::LoadGraySettings(store, &image);
    settings::LoadAnalogSettings(store, 0, &analog);
    const auto release = [&](RegistryStore& on) {
      RegistryBatch batch(on);
      settings::SaveAnalogSettings(on, 0, &analog);
      settings::SaveFilterSettings(on, &image);
      settings::SaveGraySettings(on, &image);
      return batch.Commit();
    };
    ASSERT_TRUE(release(store)) << "round " << round << ", seed " << seed;

    RegFileStore next(file);
    for (std::size_t i = 0; i < values.size(); ++i) {
      ASSERT_EQ(Read(next, values[i].first, values[i].second), before[i])
          << values[i].first << " " << values[i].second << ", round " << round << ", seed " << seed;
    }
    const std::string clean = FileText();
    const ino_t inode = Inode();
    ASSERT_TRUE(release(next));
    ASSERT_EQ(Inode(), inode) << "round " << round << ", seed " << seed;
    ASSERT_EQ(FileText(), clean);
  }
}

TEST_F(RegFileStoreTest, NamesCompareWithoutCase) {
  WriteFileText(
      "Windows Registry Editor Version 5.00\n\n"
      "[hkey_current_user\\software\\helvane\\orvexqx218sdk\\gray]\n"
      "\"gainr1\"=dword:00000010\n");
  RegFileStore store(file);
  ImageSettings image;
  EXPECT_TRUE(settings::LoadGraySettings(store, &image));
  EXPECT_EQ(image.GainR1, 16);
  EXPECT_EQ(image.GainG1, 0);

  // One value and one key, spelt as first written.
  ASSERT_TRUE(Write(store, "SOFTWARE\\Helvane\\OrvexQX218Sdk\\GRAY", "GAINR1", 17));
  EXPECT_EQ(Read(store, kMain + "\\Gray", "GainR1"), 17);
  EXPECT_EQ(FileText(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\software\\helvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\software\\helvane\\orvexqx218sdk]\r\n\r\n"
            "[HKEY_CURRENT_USER\\software\\helvane\\orvexqx218sdk\\gray]\r\n"
            "\"gainr1\"=dword:00000011\r\n\r\n");
}

TEST_F(RegFileStoreTest, ReadsTheRegistryEditorsUtf16Export) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk]\r\n"
      "\"Color\"=dword:00000004\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  WriteFileText(utf16);
  RegFileStore store(file);
  EXPECT_EQ(Read(store, kMain, "Color"), 4);
}

TEST_F(RegFileStoreTest, HandlesFollowTheRegistrysRules) {
  RegFileStore store(file);
  const RegistryKey created = store.CreateKey(kMain + "\\Filter");
  ASSERT_NE(created, 0u);
  EXPECT_TRUE(store.WriteDword(created, "Hue", 3));
  std::int32_t value = 0;
  EXPECT_TRUE(store.ReadDword(created, "hue", &value));
  EXPECT_EQ(value, 3);
  EXPECT_FALSE(store.WriteDword(created, "Two\nLines", 1));

  const RegistryKey opened = store.OpenKey(kMain + "\\filter");
  ASSERT_NE(opened, 0u);
  EXPECT_FALSE(store.WriteDword(opened, "Hue", 4));  // opened for reading
  EXPECT_TRUE(store.WriteDword(created, "Hue", 5));
  EXPECT_TRUE(store.ReadDword(opened, "Hue", &value));  // sees this store's own writes
  EXPECT_EQ(value, 5);
  store.CloseKey(opened);
  store.CloseKey(created);
  EXPECT_FALSE(store.ReadDword(created, "Hue", &value));
  EXPECT_EQ(store.OpenKey(kMain + "\\\\Filter"), 0u);
  EXPECT_EQ(store.CreateKey("\\Software"), 0u);

  // A write of the value another process stored meanwhile changes nothing in the file, and the
  // writer's open key still reads it back.
  RegFileStore other(file);
  const RegistryKey mine = store.CreateKey(kMain + "\\Filter");
  ASSERT_TRUE(Write(other, kMain + "\\Filter", "Hue", 6));
  EXPECT_TRUE(store.WriteDword(mine, "Hue", 6));
  EXPECT_TRUE(store.ReadDword(mine, "Hue", &value));
  EXPECT_EQ(value, 6);
  store.CloseKey(mine);
}

TEST_F(RegFileStoreTest, ABatchReachesTheFileAsOneReplacement) {
  RegFileStore store(file);
  ASSERT_TRUE(Write(store, kMain + "\\Filter", "Gamma", 1));
  // What a writer killed before its rename leaves, and names that only look alike.
  const fs::path folder = fs::path(file).parent_path();
  std::ofstream(folder / "OrvexQX218Sdk.reg.new.k1LLed") << "half a file";
  std::ofstream(folder / "OrvexQX218Sdk.reg.new.keep") << "x";
  std::ofstream(folder / "Other.reg.new.abcdef") << "x";
  const std::string before = FileText();
  {
    RegistryBatch batch(store);
    const RegistryKey filter = store.CreateKey(kMain + "\\Filter");
    const RegistryKey gray = store.CreateKey(kMain + "\\Gray");
    EXPECT_TRUE(store.WriteDword(filter, "Gamma", 2));
    EXPECT_TRUE(store.WriteDword(gray, "GainR1", 3));
    {
      RegistryBatch inner(store);
      EXPECT_TRUE(store.WriteDword(gray, "GainG1", 4));
      EXPECT_TRUE(inner.Commit());  // nested: stored with the outer one
    }
    // This thread sees its writes at once; the file, other threads and processes do not.
    EXPECT_EQ(Read(store, kMain + "\\Gray", "GainG1"), 4);
    EXPECT_EQ(FileText(), before);
    std::thread([&] { EXPECT_EQ(Read(store, kMain + "\\Filter", "Gamma"), 1); }).join();
    RegFileStore other(file);
    EXPECT_EQ(Read(other, kMain + "\\Gray", "GainR1"), std::nullopt);
    store.CloseKey(filter);
    store.CloseKey(gray);
    EXPECT_TRUE(batch.Commit());
  }
  RegFileStore other(file);
  EXPECT_EQ(Read(other, kMain + "\\Filter", "Gamma"), 2);
  EXPECT_EQ(Read(other, kMain + "\\Gray", "GainR1"), 3);
  EXPECT_EQ(Read(other, kMain + "\\Gray", "GainG1"), 4);
  EXPECT_FALSE(fs::exists(folder / "OrvexQX218Sdk.reg.new.k1LLed"));
  EXPECT_TRUE(fs::exists(folder / "OrvexQX218Sdk.reg.new.keep"));
  EXPECT_TRUE(fs::exists(folder / "Other.reg.new.abcdef"));

  // A commit that changes no value leaves the file alone, and still removes what a killed
  // writer left.
  std::ofstream(folder / "OrvexQX218Sdk.reg.new.k2LLed") << "half a file";
  const ino_t inode = Inode();
  EXPECT_TRUE(Write(store, kMain + "\\Filter", "Gamma", 2));
  EXPECT_EQ(Inode(), inode);
  EXPECT_FALSE(fs::exists(folder / "OrvexQX218Sdk.reg.new.k2LLed"));
}

// The largest file the store reads is the largest it writes, counted as the file is written
// (CRLF): a change that would pass it fails, and the file stays as it was, readable.
TEST_F(RegFileStoreTest, WritesStopAtTheSizeTheReaderAccepts) {
  constexpr std::size_t kLimit = RegFileStore::kMaxFileSize;
  const std::string head =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Pad\"=\"";
  const std::string tail = "\"\r\n\r\n";
  const std::string added = "\"A\"=dword:00000001\r\n";
  WriteFileText(head + std::string(kLimit - head.size() - tail.size() - added.size(), 'p') + tail);
  RegFileStore store(file);
  ASSERT_TRUE(Write(store, "Software", "A", 1));
  EXPECT_EQ(fs::file_size(file), kLimit);
  RegFileStore fresh(file);
  EXPECT_EQ(Read(fresh, "Software", "A"), 1);
  const std::string full = FileText();
  EXPECT_FALSE(Write(store, "Software", "B", 2));
  EXPECT_TRUE(Write(store, "Software", "A", 3));  // the same size
  EXPECT_EQ(Read(fresh, "Software", "B"), std::nullopt);

  // One byte more, from another program: read as missing, and not replaced by what little
  // the library would write.
  WriteFileText(full + " ");
  RegFileStore another(file);
  EXPECT_EQ(Read(another, "Software", "A"), std::nullopt);
  EXPECT_FALSE(Write(another, "Software", "A", 4));
  EXPECT_EQ(FileText(), full + " ");

  // Files another program wrote with LF, under the limit, count as the store would write
  // them: the one it would write at the limit is read and saved, the one a byte larger is
  // someone else's too.
  for (const std::size_t written : {kLimit, kLimit + 1}) {
    SCOPED_TRACE(written);
    std::string lf =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software]\n\"A\"=dword:00000005\n\"Pad\"=\"\"\n\n";
    const auto lines = static_cast<std::size_t>(std::count(lf.begin(), lf.end(), '\n'));
    lf.insert(lf.size() - 3, written - lf.size() - lines, 'p');
    WriteFileText(lf);
    RegFileStore host(file);
    EXPECT_EQ(Read(host, "Software", "A"), written == kLimit ? std::optional(5) : std::nullopt);
    EXPECT_EQ(Write(host, "Software", "A", 6), written == kLimit);
    if (written == kLimit) {
      EXPECT_EQ(fs::file_size(file), kLimit);
    } else {
      EXPECT_EQ(FileText(), lf);
    }
  }
}

// A process saving a release's three groups, over and over, is killed at random moments: what
// it leaves is always one release's 26 values, the one before the kill or the one it was
// saving, and the next save removes its temporary file.
TEST_F(RegFileStoreTest, AKilledSaveLeavesTheOldOrTheNewRelease) {
  constexpr int kKills = 300;
  // Sanitizer builds fork slowly on a loaded machine: the kills stop there when time is up.
  constexpr auto kTimeLimit = std::chrono::seconds(60);
  const auto saveRelease = [](RegistryStore& store, std::int32_t generation) {
    AnalogSettings analog;
    for (auto field : {&AnalogSettings::Global, &AnalogSettings::ColorG1, &AnalogSettings::ColorR,
                       &AnalogSettings::ColorB, &AnalogSettings::ColorG2, &AnalogSettings::Exposure,
                       &AnalogSettings::V_Mirror, &AnalogSettings::AutoIris}) {
      analog.*field = generation;
    }
    ImageSettings image;
    for (auto field :
         {&ImageSettings::Brightness, &ImageSettings::Contrast, &ImageSettings::Hue,
          &ImageSettings::Saturation, &ImageSettings::Sharpness, &ImageSettings::R_Gain,
          &ImageSettings::G_Gain, &ImageSettings::B_Gain, &ImageSettings::Gamma,
          &ImageSettings::BayerMode, &ImageSettings::GainR1, &ImageSettings::GainG1,
          &ImageSettings::GainG2, &ImageSettings::GainB1, &ImageSettings::OffsetR1,
          &ImageSettings::OffsetG1, &ImageSettings::OffsetG2, &ImageSettings::OffsetB1}) {
      image.*field = generation;
    }
    RegistryBatch release(store);
    bool saved = settings::SaveAnalogSettings(store, 0, &analog);
    saved = settings::SaveFilterSettings(store, &image) && saved;
    saved = settings::SaveGraySettings(store, &image) && saved;
    return release.Commit() && saved;
  };
  // Every value of the three groups, as the file holds them now.
  const auto storedValues = [&] {
    RegFileStore reader(file);
    std::vector<std::int32_t> values;
    for (const char* group : {"\\Gain_00", "\\Filter", "\\Gray"}) {
      const RegistryKey key = reader.OpenKey(kMain + group);
      for (const char* name :
           {"Global",    "ColorG1",  "ColorR",     "ColorB",   "ColorG2",  "Exposure",
            "V_Mirror",  "AutoIris", "Brightness", "Contrast", "Hue",      "Saturation",
            "Sharpness", "R_Gain",   "G_Gain",     "B_Gain",   "Gamma",    "BayerMode",
            "GainR1",    "GainG1",   "GainG2",     "GainB1",   "OffsetR1", "OffsetG1",
            "OffsetG2",  "OffsetB1"}) {
        std::int32_t value = 0;
        if (reader.ReadDword(key, name, &value)) values.push_back(value);
      }
      reader.CloseKey(key);
    }
    return values;
  };
  const auto temporaryFiles = [&] {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path())) {
      count += entry.path().filename().string().starts_with("OrvexQX218Sdk.reg.new.");
    }
    return count;
  };

  // Other software's keys make each save long enough to be cut at every step.
  {
    RegFileStore store(file);
    RegistryBatch padding(store);
    for (int k = 0; k < 2000; ++k) Write(store, "Software\\Other\\K" + std::to_string(k), "V", k);
    padding.Commit();
    ASSERT_TRUE(saveRelease(store, 0));
  }
  const auto start = std::chrono::steady_clock::now();
  {
    RegFileStore store(file);
    for (int i = 1; i <= 5; ++i) saveRelease(store, i);
  }
  const auto saveTime = (std::chrono::steady_clock::now() - start) / 5;
  const auto seed = std::random_device()();
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int64_t> pause(
      0, std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 3).count());

  std::int32_t last = 5;
  int cutMidway = 0;
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  int round = 0;
  for (; round < kKills && std::chrono::steady_clock::now() < deadline; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      // Ready once the file is parsed and one save is done, so that the kills fall among
      // saves as a running program makes them, not in the start-up of the process.
      RegFileStore store(file);
      saveRelease(store, last + 1);
      if (write(ready[1], "!", 1) != 1) _exit(1);
      for (std::int32_t generation = last + 2;; ++generation) saveRelease(store, generation);
    }
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);

    cutMidway += temporaryFiles() > 0;
    const std::vector<std::int32_t> values = storedValues();
    ASSERT_EQ(values.size(), 26u) << "kill " << round << ", seed " << seed;
    ASSERT_TRUE(std::all_of(values.begin(), values.end(), [&](int v) { return v == values[0]; }))
        << "a mixed release after kill " << round << ", seed " << seed;
    ASSERT_GT(values[0], last) << "kill " << round << ", seed " << seed;
    last = values[0];
  }
  {
    RegFileStore store(file);
    EXPECT_TRUE(saveRelease(store, last + 1));
  }
  EXPECT_EQ(temporaryFiles(), 0);
  RecordProperty("kills", round);
  RecordProperty("killedBeforeRename", cutMidway);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
  // Sanitizers slow the computing of a save far more than its writing, so few of their kills
  // fall between the temporary file and the rename (about 2 %, against 15 % here).
  EXPECT_GT(cutMidway, 0) << "no kill fell between a temporary file and its rename";
#endif
}

// Threads of one process, each through its own handles on one store.
TEST_F(RegFileStoreTest, ConcurrentThreadsLoseNothing) {
  RegFileStore store(file);
  constexpr int kWrites = 40;
  auto writer = [&](const char* prefix) {
    for (int i = 0; i < kWrites; ++i) {
      Write(store, kMain + "\\" + prefix, prefix + std::to_string(i), i);
    }
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  RegFileStore reader(file);
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(Read(reader, kMain + "\\A", "A" + std::to_string(i)), i);
    EXPECT_EQ(Read(reader, kMain + "\\B", "B" + std::to_string(i)), i);
  }
}

// Two processes save different groups at the same moments; every write of each survives.
TEST_F(RegFileStoreTest, ConcurrentProcessesLoseNothing) {
  constexpr int kRounds = 100;
  constexpr int kSaveEvery = 20;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t children[2] = {-1, -1};
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] != 0) continue;
    close(start[1]);
    char go;
    if (read(start[0], &go, 1) != 0) _exit(3);  // released together when the pipe closes
    RegFileStore store(file);
    bool ok = true;
    for (int i = 0; i < kRounds; ++i) {
      const std::string key = kMain + (child == 0 ? "\\Gain_00" : "\\Filter");
      const RegistryKey handle = store.CreateKey(key);
      ok = ok && handle != 0 && store.WriteDword(handle, "Step" + std::to_string(i), i);
      store.CloseKey(handle);
      if ((i + 1) % kSaveEvery != 0) continue;
      if (child == 0) {
        AnalogSettings analog;
        analog.Exposure = i;
        analog.ColorG2 = i;
        ok = ok && settings::SaveAnalogSettings(store, 0, &analog);
      } else {
        ImageSettings image;
        image.Gamma = i;
        image.BayerMode = i;
        ok = ok && settings::SaveFilterSettings(store, &image);
      }
    }
    _exit(ok ? 0 : 1);
  }
  close(start[0]);
  close(start[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
  }

  RegFileStore store(file);
  for (const char* group : {"\\Gain_00", "\\Filter"}) {
    const RegistryKey key = store.OpenKey(kMain + group);
    ASSERT_NE(key, 0u);
    int steps = 0;
    for (int i = 0; i < kRounds; ++i) {
      std::int32_t value = -1;
      steps += store.ReadDword(key, "Step" + std::to_string(i), &value) && value == i;
    }
    EXPECT_EQ(steps, kRounds) << group;
    store.CloseKey(key);
  }
  AnalogSettings analog;
  EXPECT_TRUE(settings::LoadAnalogSettings(store, 0, &analog));
  EXPECT_EQ(analog.Exposure, kRounds - 1);
  EXPECT_EQ(analog.ColorG2, kRounds - 1);
  ImageSettings image;
  EXPECT_TRUE(settings::LoadFilterSettings(store, &image));
  EXPECT_EQ(image.Gamma, kRounds - 1);
  EXPECT_EQ(image.BayerMode, kRounds - 1);
}

}  // namespace
}  // namespace orvex::platform
