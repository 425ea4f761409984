// Tests of where the dialog's folders are read from and written to.
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

// ---- the per-user copy, for a shared file that cannot be written ----

constexpr char kUserFolder[] = "C:\\USERS\\ANNA\\APPDATA\\ROAMING\\Quarnel";
const std::string kUserFile = std::string(kUserFolder) + "\\MVT.INI";

FakePlatform WithUserFolder() {
  FakePlatform platform;
  platform.user_settings_folder = kUserFolder;
  return platform;
}

TEST(UserSettingsTest, LoadPrefersThePerUserCopyUpperCasesAndDropsTheSentinel) {
  const struct {
    std::optional<std::string> user;
    std::optional<std::string> shared;
    std::string loaded;
  } cases[] = {
      {std::nullopt, std::nullopt, ""},
      {std::nullopt, "", ""},
      {std::nullopt, "c:\\scenery", "C:\\SCENERY"},
      {std::nullopt, "C:", "C:"},
      {std::nullopt, "SECTION NOT FOUND", ""},
      {std::nullopt, "section not found", ""},
      {std::nullopt, "Section Not Found", ""},
      {std::nullopt, "SECTION NOT FOUND ", "SECTION NOT FOUND "},
      {std::nullopt, "SECTION NOT FOUNDX", "SECTION NOT FOUNDX"},
      {"c:\\mine", std::nullopt, "C:\\MINE"},
      {"c:\\mine", "c:\\shared", "C:\\MINE"},             // the per-user copy wins
      {"Section Not Found", "c:\\shared", "C:\\SHARED"},  // its sentinel falls back
      {"", "c:\\shared", ""},                             // its empty value stands
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user.value_or("(none)") + " / " + c.shared.value_or("(none)"));
    FakePlatform platform = WithUserFolder();
    if (c.user) platform.StoreSetting("OPATH", *c.user, kUserFile);
    if (c.shared) platform.StoreSetting("OPATH", *c.shared);
    // Only the QUARNEL section of MVT.INI counts.
    platform.profile[{"MVT.INI", "OTHER", "OPATH"}] = "c:\\wrong section";
    platform.profile[{"OTHER.INI", "QUARNEL", "OPATH"}] = "c:\\wrong file";
    EXPECT_EQ(Load(platform, kKeyOutputDir), c.loaded);
    // Every read offers the same 260 bytes; loading creates nothing.
    for (const unsigned size : platform.profile_read_sizes) EXPECT_EQ(size, 260u);
    EXPECT_EQ(platform.user_folder_creates, 0);
    EXPECT_TRUE(platform.profile_write_files.empty());
  }
}

TEST(UserSettingsTest, SaveWritesOneKeyOfTheSharedFileWhileThatCanBeWritten) {
  FakePlatform platform = WithUserFolder();
  platform.StoreSetting("SOURCEDIR", "OLD");
  SaveSetting(platform, kKeySourceDir, "C:\\SCENERY");
  SaveSetting(platform, kKeyOutputDir, "");
  EXPECT_EQ(platform.Setting("SOURCEDIR"), "C:\\SCENERY");
  EXPECT_EQ(platform.Setting("OPATH"), "");
  EXPECT_EQ(platform.Setting("TARGETDIR"), std::nullopt);
  EXPECT_EQ(platform.profile_write_files, (std::vector<std::string>{"MVT.INI", "MVT.INI"}));
  EXPECT_EQ(platform.user_folder_creates, 0);
}

TEST(UserSettingsTest, SaveFallsBackToAPerUserCopyThatTheNextStartReads) {
  FakePlatform platform = WithUserFolder();
  platform.StoreSetting("SOURCEDIR", "C:\\OLD");
  platform.StoreSetting("TARGETDIR", "C:\\BASE");
  platform.unwritable_files.insert("MVT.INI");
  SaveSetting(platform, kKeySourceDir, "C:\\NEW");
  EXPECT_EQ(platform.user_folder_creates, 1);
  EXPECT_EQ(platform.Setting("SOURCEDIR", kUserFile), "C:\\NEW");
  EXPECT_EQ(platform.Setting("SOURCEDIR"), "C:\\OLD");
  EXPECT_EQ(Load(platform, kKeySourceDir), "C:\\NEW");
  // Keys never picked under the fallback still come from the shared file.
  EXPECT_EQ(Load(platform, kKeyBaseDir), "C:\\BASE");
}

TEST(UserSettingsTest, ASharedWriteAlsoRefreshesAKeyThePerUserCopyHolds) {
  FakePlatform platform = WithUserFolder();
  platform.user_folder_made = true;
  platform.StoreSetting("OPATH", "D:\\FROM BEFORE", kUserFile);
  SaveSetting(platform, kKeyOutputDir, "D:\\NOW");
  SaveSetting(platform, kKeySourceDir, "C:\\SRC");
  EXPECT_EQ(Load(platform, kKeyOutputDir), "D:\\NOW");
  EXPECT_EQ(platform.Setting("OPATH"), "D:\\NOW");
  // A key the copy does not hold is not copied into it.
  EXPECT_EQ(platform.Setting("SOURCEDIR", kUserFile), std::nullopt);
  EXPECT_EQ(platform.profile_write_files,
            (std::vector<std::string>{"MVT.INI", kUserFile, "MVT.INI"}));
}

TEST(UserSettingsTest, NothingWritableLosesOnlyTheMemory) {
  const struct {
    const char* name;
    std::string folder;
    bool folder_fails;
  } cases[] = {{"no per-user folder", "", false}, {"per-user copy unwritable", kUserFolder, true}};
  for (const auto& c : cases) {
    FakePlatform platform;
    platform.user_settings_folder = c.folder;
    platform.unwritable_files.insert("MVT.INI");
    if (c.folder_fails) platform.unwritable_files.insert(kUserFile);
    SaveSetting(platform, kKeySourceDir, "C:\\LOST");
    EXPECT_EQ(Load(platform, kKeySourceDir), "") << c.name;
  }
}

}  // namespace
}  // namespace quarnel_helper
