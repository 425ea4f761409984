// Checks the compiled resources of both programs byte by byte: the dialog
// template the window is built from, the icons, the version record and the
// application manifests.
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "res_file.h"

namespace quarnel_helper {
namespace {

constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtDialog = 5;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kRtVersion = 16;
constexpr std::uint16_t kRtManifest = 24;
constexpr std::uint16_t kGermanGermany = 0x0407;

constexpr std::uint16_t kButton = 0x80;
constexpr std::uint16_t kEdit = 0x81;
constexpr std::uint16_t kStatic = 0x82;

std::vector<ResEntry> Load(const char* path) {
  const auto bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes.has_value()) << path;
  if (!bytes) return {};
  const auto entries = ParseResFile(*bytes);
  EXPECT_TRUE(entries.has_value()) << path;
  return entries.value_or(std::vector<ResEntry>{});
}

const ResEntry* Find(const std::vector<ResEntry>& entries, std::uint16_t type, std::uint16_t id) {
  for (const ResEntry& e : entries) {
    if (e.type == type && e.id == id) return &e;
  }
  return nullptr;
}

class HelperResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ResEntry* entry = Find(entries_, kRtDialog, IDD_QUARNELHELPER_DIALOG);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->language, kGermanGermany);
    dialog = ParseDialogEx(entry->data);
    ASSERT_TRUE(dialog.has_value());
  }

  std::vector<ResEntry> entries_ = Load(QUARNEL_HELPER_RES);
  std::optional<DialogTemplate> dialog;
};

TEST_F(HelperResourceTest, DialogTemplateIsExactlyAsDesigned) {
  EXPECT_EQ(
      std::tuple(dialog->style, dialog->ex_style, dialog->x, dialog->y, dialog->cx, dialog->cy),
      std::tuple(0x90C800C0u, 0x00040000u, 0, 0, 320, 306));  // grown by the merge box's row
  EXPECT_EQ(dialog->caption, "QuarnelHelper V1.5");
  EXPECT_EQ(std::tuple(dialog->point_size, dialog->typeface, dialog->weight, dialog->italic,
                       dialog->charset),
            std::tuple(8, "MS Sans Serif", 0, 0, 1));

  struct Expected {
    std::int32_t id;
    std::uint16_t kind;
    std::uint32_t style;
    int x, y, cx, cy;
    const char* text;  // nullptr: the credits, whose wording is ours to choose
  };
  const Expected expected[] = {
      {1698, kButton, 0x50010000, 10, 10, 85, 15, "Select source AFD file"},
      {1700, kButton, 0x50010000, 10, 55, 85, 15, "Select the basic AFD file"},
      {1, kButton, 0x50010001, 105, 235, 90, 14, "Start Process"},
      {-1, kStatic, 0x50020000, 5, 265, 145, 35, nullptr},
      {1697, kEdit, 0x58810080, 10, 30, 300, 14, ""},
      {1699, kEdit, 0x58810080, 10, 74, 300, 14, ""},
      {-1, kStatic, 0x50020000, 160, 265, 145, 34, ""},
      {-1, kStatic, 0x50020200, 100, 55, 90, 15, "For example eurnwafd.bgl"},
      {-1, kStatic, 0x50020200, 100, 10, 210, 15,
       "This is your new file, the file which is linked to the basic file !"},
      {-1, kStatic, 0x50020000, 10, 175, 255, 25,
       "By pressing the button \"Start process\" a new AFD file is produced, it combines\n"
       "the source file and the basic file. As default the new file is called NEWAFD.BGL\n"
       "Change the output path and name of the file with the buttons above."},
      {1701, kButton, 0x50010000, 10, 100, 85, 15, "Output path for new file"},
      {1702, kEdit, 0x58810080, 10, 119, 300, 14, ""},
      {1703, kEdit, 0x50810080, 10, 150, 300, 14, ""},
      {-1, kStatic, 0x50021201, 10, 140, 300, 10,
       "Filename of output path, by default it is NEWAFD.BGL"},
      // An auto check box with a tab stop, in the font and left edge of the rest.
      {1704, kButton, 0x50010003, 10, 210, 255, 10, "Also add the airports the basic file lacks"},
  };
  ASSERT_EQ(dialog->items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const DialogItem& item = dialog->items[i];
    const Expected& want = expected[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    EXPECT_EQ(std::tuple(item.id, item.class_atom, item.style, item.ex_style, item.x, item.y,
                         item.cx, item.cy),
              std::tuple(want.id, want.kind, want.style, 0u, want.x, want.y, want.cx, want.cy));
    if (want.text != nullptr) {
      EXPECT_EQ(item.text, want.text);
    }
  }
  // The credits: four lines naming who wrote it and where to write to.
  const std::string& credits = dialog->items[3].text;
  EXPECT_EQ(std::count(credits.begin(), credits.end(), '\n'), 3);
  EXPECT_NE(credits.find("support@quarnel.example"), std::string::npos);
}

TEST_F(HelperResourceTest, ControlsFitTheDialogAndNoneCoversAnother) {
  const std::vector<DialogItem>& items = dialog->items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const DialogItem& a = items[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    EXPECT_GE(a.x, 0);
    EXPECT_GE(a.y, 0);
    EXPECT_LE(a.x + a.cx, dialog->cx);
    EXPECT_LE(a.y + a.cy, dialog->cy);
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      const DialogItem& b = items[j];
      const bool apart =
          a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
      EXPECT_TRUE(apart) << "covers control #" << j + 1;
    }
  }
}

// The helper's icon has a 32 and a 16 pixel image, the tool's only the 32; all of sixteen colours.
TEST(IconTest, EachProgramHasOneIconGroupOfSixteenColourImages) {
  const struct {
    const char* res;
    std::vector<int> sizes;
  } programs[] = {{QUARNEL_HELPER_RES, {32, 16}}, {QUARNEL_TOOL_RES, {32}}};
  for (const auto& program : programs) {
    SCOPED_TRACE(program.res);
    const std::vector<ResEntry> entries = Load(program.res);
    const ResEntry* group = Find(entries, kRtGroupIcon, IDI_APPICON);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const ResEntry& e) { return e.type == kRtGroupIcon; }),
              1);
    const std::vector<std::uint8_t>& g = group->data;
    ASSERT_EQ(g.size(), 6u + program.sizes.size() * 14);
    EXPECT_EQ(g[2], 1);                     // icons, not cursors
    EXPECT_EQ(g[4], program.sizes.size());  // images
    for (std::size_t i = 0; i < program.sizes.size(); ++i) {
      const int size = program.sizes[i];
      const std::uint8_t* e = &g[6 + 14 * i];
      SCOPED_TRACE(size);
      EXPECT_EQ(e[0], size);
      EXPECT_EQ(e[1], size);
      EXPECT_EQ(e[2], 16);             // colours
      EXPECT_EQ(e[6] | e[7] << 8, 4);  // bits per pixel
      const std::uint16_t image_id = static_cast<std::uint16_t>(e[12] | e[13] << 8);
      const ResEntry* image = Find(entries, kRtIcon, image_id);
      ASSERT_NE(image, nullptr);
      const std::vector<std::uint8_t>& b = image->data;
      const std::size_t row = static_cast<std::size_t>(size) / 2;
      const std::size_t mask_row = 4;
      ASSERT_EQ(b.size(), 40 + 64 + size * row + size * mask_row);
      EXPECT_EQ(b[4] | b[5] << 8, size);      // width
      EXPECT_EQ(b[8] | b[9] << 8, 2 * size);  // height of colours and mask
      EXPECT_EQ(b[14], 4);                    // bits per pixel
    }
  }
}

TEST_F(HelperResourceTest, VersionRecordNamesTheProgram) {
  const ResEntry* entry = Find(entries_, kRtVersion, 1);
  ASSERT_NE(entry, nullptr);
  const auto version = ParseVersionInfo(entry->data);
  ASSERT_TRUE(version.has_value());
  // Version 1.0.0.1 of an application (1) for 32-bit Windows (4).
  EXPECT_EQ(
      std::tuple(version->file_version_ms, version->file_version_ls, version->product_version_ms,
                 version->product_version_ls, version->file_os, version->file_type),
      std::tuple(0x00010000u, 1u, 0x00010000u, 1u, 4u, 1u));
  const std::map<std::string, std::string> wanted = {
      {"040704b0/FileDescription", "QuarnelHelper, Dialog for Quarnel"},
      {"040704b0/FileVersion", "1, 0, 0, 1"},
      {"040704b0/ProductVersion", "1, 0, 0, 1"},
      {"040704b0/InternalName", "QuarnelHelper"},
      {"040704b0/ProductName", "QuarnelHelper"},
      {"040704b0/Comments", ""},
      {"040704b0/PrivateBuild", ""},
      {"040704b0/SpecialBuild", ""},
  };
  for (const auto& [key, value] : wanted) {
    const auto it = version->strings.find(key);
    ASSERT_NE(it, version->strings.end()) << key;
    EXPECT_EQ(it->second, value) << key;
  }
  for (const char* ours : {"040704b0/CompanyName", "040704b0/LegalCopyright"}) {
    const auto it = version->strings.find(ours);
    ASSERT_NE(it, version->strings.end()) << ours;
    EXPECT_FALSE(it->second.empty()) << ours;
  }
  EXPECT_EQ(version->translation, (std::vector<std::uint8_t>{0x07, 0x04, 0xB0, 0x04}));
}

// ---- application manifests ----

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Resource 1 of type 24 as text; empty when it is missing or not language-neutral.
std::string ManifestOf(const char* res_path) {
  const std::vector<ResEntry> entries = Load(res_path);
  const ResEntry* entry = Find(entries, kRtManifest, 1);
  if (entry == nullptr || entry->language != 0) return std::string();
  return std::string(entry->data.begin(), entry->data.end());
}

TEST(ManifestTest, BothProgramsRunWithTheUsersRightsOnVistaToEleven) {
  for (const char* res : {QUARNEL_HELPER_RES, QUARNEL_TOOL_RES}) {
    SCOPED_TRACE(res);
    const std::string manifest = ManifestOf(res);
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u);
    EXPECT_TRUE(Holds(manifest, "</assembly>\n"));
    EXPECT_TRUE(Holds(manifest, "version=\"" QUARNEL_VERSION_QUAD "\""));
    EXPECT_TRUE(
        Holds(manifest, "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0",     // Vista
                           "35138b9a-5d96-4fbd-8e2d-a2440225f93a",     // 7
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",     // 8
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78",     // 8.1
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {  // 10 and 11
      EXPECT_TRUE(Holds(manifest, std::string("<supportedOS Id=\"{") + os + "}\"/>")) << os;
    }
  }
}

TEST(ManifestTest, OnlyTheDialogAsksForThemedControlsAndPerMonitorDpi) {
  const std::string parts[] = {
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
      "publicKeyToken=\"6595b64144ccf1df\"",
      "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
      "PerMonitorV2, PerMonitor</dpiAwareness>",
      "<dpiAware "
      "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
  };
  const std::string helper = ManifestOf(QUARNEL_HELPER_RES);
  const std::string tool = ManifestOf(QUARNEL_TOOL_RES);
  for (const std::string& part : parts) {
    EXPECT_TRUE(Holds(helper, part)) << part;
    EXPECT_FALSE(Holds(tool, part)) << part;
  }
}

}  // namespace
}  // namespace quarnel_helper
