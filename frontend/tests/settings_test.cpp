#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_platform.h"

namespace quarnel_helper {
namespace {

constexpr unsigned kBufferSize = 1000;

std::string Load(FakePlatform& platform, const char* key) {
  char buffer[kBufferSize];
  std::memset(buffer, 'x', sizeof buffer);
  return LoadSetting(platform, key, buffer, sizeof buffer);
}

TEST(LoadSettingTest, UpperCasesAndDropsTheSentinel) {
  const struct {
    std::optional<std::string> stored;
    std::string loaded;
  } cases[] = {
      {std::nullopt, ""},
      {"", ""},
      {"c:\\scenery", "C:\\SCENERY"},
      {"C:", "C:"},
      {"SECTION NOT FOUND", ""},
      {"section not found", ""},
      {"Section Not Found", ""},
      {"SECTION NOT FOUND ", "SECTION NOT FOUND "},
      {"SECTION NOT FOUNDX", "SECTION NOT FOUNDX"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    if (c.stored) platform.StoreSetting("SOURCEDIR", *c.stored);
    EXPECT_EQ(Load(platform, kKeySourceDir), c.loaded) << c.stored.value_or("(missing)");
  }
}

TEST(LoadSettingTest, ReadsFromTheQuarnelSectionOfMvtIni) {
  FakePlatform platform;
  platform.profile[{"MVT.INI", "QUARNEL", "TARGETDIR"}] = "c:\\right";
  platform.profile[{"MVT.INI", "OTHER", "TARGETDIR"}] = "c:\\wrong section";
  platform.profile[{"OTHER.INI", "QUARNEL", "TARGETDIR"}] = "c:\\wrong file";
  EXPECT_EQ(Load(platform, kKeyBaseDir), "C:\\RIGHT");
  EXPECT_EQ(Load(platform, kKeyOutputDir), "");
}

TEST(LoadSettingTest, OffersTwoHundredSixtyBytesSoValuesStopAt259Characters) {
  for (const std::size_t length : {258, 259, 260, 300, 999, 5000}) {
    FakePlatform platform;
    platform.StoreSetting("OPATH", std::string(length, 'd'));
    const std::string loaded = Load(platform, kKeyOutputDir);
    EXPECT_EQ(loaded, std::string(length < 259 ? length : 259, 'D')) << length;
    ASSERT_EQ(platform.profile_read_sizes.size(), 1u);
    EXPECT_EQ(platform.profile_read_sizes[0], 260u);
  }
}

TEST(LoadSettingTest, NeverOffersMoreThanTheBufferHolds) {
  FakePlatform platform;
  platform.StoreSetting("OPATH", "c:\\a\\long\\folder");
  char small[8];
  EXPECT_EQ(LoadSetting(platform, kKeyOutputDir, small, sizeof small), "C:\\A\\LO");
  EXPECT_EQ(platform.profile_read_sizes.back(), 8u);
  EXPECT_EQ(LoadSetting(platform, kKeyOutputDir, small, 0), "");
}

TEST(SaveSettingTest, WritesOneKeyOfTheQuarnelSection) {
  FakePlatform platform;
  platform.StoreSetting("SOURCEDIR", "OLD");
  SaveSetting(platform, kKeySourceDir, "C:\\MYSCENERY");
  SaveSetting(platform, kKeyOutputDir, "");
  EXPECT_EQ(platform.Setting("SOURCEDIR"), "C:\\MYSCENERY");
  EXPECT_EQ(platform.Setting("OPATH"), "");
  EXPECT_EQ(platform.Setting("TARGETDIR"), std::nullopt);
  EXPECT_EQ(platform.profile_writes, 2);
}

}  // namespace
}  // namespace quarnel_helper
