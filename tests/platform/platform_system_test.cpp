// The registry and the processor as OrvexPlatform gives them to applications.
#include <gtest/gtest.h>
#include <orvex/platform_system.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(PlatformSystemTest, ReadsTheUsersSettingsFileAsTheLibraryDoes) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "orvex-platform-system-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path home = pattern;
  std::filesystem::create_directories(home / "Helvane");
  std::ofstream(home / "Helvane" / "OrvexQX218Sdk.reg", std::ios::binary)
      << "Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\r\n"
         "\"TH\"=dword:00000528\r\n"
         "\"EH\"=dword:12\r\n\r\n";
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);

  const OrvexRegistryKey key =
      OrvexPlatform_RegOpenKey("Software\\Helvane\\OrvexQX218Sdk\\Size_00");
  ASSERT_NE(key, 0u);
  std::int32_t value = 0;
  EXPECT_EQ(OrvexPlatform_RegQueryDword(key, "th", &value), 1);
  EXPECT_EQ(value, 0x528);
  EXPECT_EQ(OrvexPlatform_RegQueryDword(key, "EH", &value), 0);  // damaged: reads as missing
  EXPECT_EQ(OrvexPlatform_RegQueryDword(key, "EV", &value), 0);
  OrvexPlatform_RegCloseKey(key);
  OrvexPlatform_RegCloseKey(0);
  EXPECT_EQ(OrvexPlatform_RegOpenKey("Software\\Helvane\\Nowhere"), 0u);
  std::filesystem::remove_all(home);
}

TEST(PlatformSystemTest, ConfirmsOnlyReportedProcessorFeatures) {
  std::uint32_t reported = 0, confirmed = 0;
  EXPECT_EQ(OrvexPlatform_IdentifyProcessor(&reported, &confirmed), reported);
  EXPECT_EQ(confirmed & ~reported, 0u);
#if defined(__x86_64__)
  EXPECT_NE(reported & confirmed & ORVEX_PROCESSOR_SSE2, 0u);  // every 64-bit x86 has it
#endif
}

TEST(PlatformSystemTest, KernelFeaturesAreThoseTheProcessorHas) {
  const std::uint32_t features = OrvexPlatform_KernelFeatures();
  EXPECT_EQ(features & ~(ORVEX_KERNEL_SSE2 | ORVEX_KERNEL_AVX2 | ORVEX_KERNEL_AVX512), 0u);
#if defined(__x86_64__)
  __builtin_cpu_init();
  EXPECT_NE(features & ORVEX_KERNEL_SSE2, 0u);
  EXPECT_EQ((features & ORVEX_KERNEL_AVX2) != 0, __builtin_cpu_supports("avx2") != 0);
  EXPECT_EQ((features & ORVEX_KERNEL_AVX512) != 0, __builtin_cpu_supports("avx512f") &&
                                                       __builtin_cpu_supports("avx512bw") &&
                                                       __builtin_cpu_supports("avx512vbmi"));
#endif
}

}  // namespace
