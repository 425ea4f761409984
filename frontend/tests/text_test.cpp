// Tests of the dialog's text helpers.
#include "text.h"

#include <gtest/gtest.h>

namespace quarnel_helper {
namespace {

TEST(FolderOfTest, TakesEverythingBeforeTheLastBackslash) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\FS\\MYAFD.BGL", "C:\\FS"},
      {"C:\\X.BGL", "C:"},  // a file in a drive's root is filed under the bare drive
      {"\\\\SERVER\\SHARE\\A.BGL", "\\\\SERVER\\SHARE"},
      {"D:\\OUT\\", "D:\\OUT"},
      {"\\NEWAFD.BGL", ""},
      {"NOBACKSLASH.BGL", ""},
      {"", ""},
      {"C:/FORWARD/SLASH.BGL", ""},  // only the backslash separates
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
  }
}

TEST(ProgramTitleOfTest, DropsFolderAndExtension) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"C:\\APPS\\QuarnelHelper.exe", "QuarnelHelper"},
      {"C:\\A.B\\NOEXT", "NOEXT"},
      {"C:\\X\\name.tar.exe", "name.tar"},
      {"QuarnelHelper.EXE", "QuarnelHelper"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramTitleOf(c.path), c.title) << c.path;
  }
}

TEST(LastLineTest, TakesTheLastLineThatHoldsAnything) {
  const struct {
    std::string text;
    const char* line;
  } cases[] = {
      {"QUARNEL 1.2\r\n3 replaced, 1 added, 0 left out\r\n", "3 replaced, 1 added, 0 left out"},
      {"a\nb\n", "b"},
      {"a\nb", "b"},  // no line break after the last line
      {"a\n\r\n\n", "a"},
      {"only", "only"},
      {"\r\n\n", ""},
      {"", ""},
      {"x\r\r\n", "x\r"},  // only the one carriage return of the line break goes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastLine(c.text), c.line) << c.text;
  }
}

TEST(MakeUpperTest, UpperCasesAsciiLettersOnly) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"c:\\fs\\myafd.bgl", "C:\\FS\\MYAFD.BGL"},
      {"AbC-xYz_09 !", "ABC-XYZ_09 !"},
      {"az`{@[", "AZ`{@["},  // the neighbours of a-z are not letters
      {"caf\xE9.bgl", "CAF\xE9.BGL"},
      {std::string("a\0b", 3), std::string("A\0B", 3)},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    MakeUpper(&text);
    EXPECT_EQ(text, c.out) << c.in;
  }
}

}  // namespace
}  // namespace quarnel_helper
