// Tests of the dialog's text helpers.
#include "text.h"

#include <gtest/gtest.h>

namespace quarnel_helper {
namespace {

std::string Upper(const std::string& text) {
  std::string upper = text;
  MakeUpper(&upper);
  return upper;
}

TEST(TextTest, EachHelperMapsItsInputToItsOutput) {
  const struct {
    const char* name;
    std::string (*helper)(const std::string&);
    std::string in;
    std::string out;
  } cases[] = {
      // Everything before the last backslash.
      {"FolderOf", FolderOf, "C:\\FS\\MYAFD.BGL", "C:\\FS"},
      {"FolderOf", FolderOf, "C:\\X.BGL", "C:"},  // a file in a drive's root: the bare drive
      {"FolderOf", FolderOf, "\\\\SERVER\\SHARE\\A.BGL", "\\\\SERVER\\SHARE"},
      {"FolderOf", FolderOf, "D:\\OUT\\", "D:\\OUT"},
      {"FolderOf", FolderOf, "\\NEWAFD.BGL", ""},
      {"FolderOf", FolderOf, "NOBACKSLASH.BGL", ""},
      {"FolderOf", FolderOf, "", ""},
      {"FolderOf", FolderOf, "C:/FORWARD/SLASH.BGL", ""},  // only the backslash separates
      // Drops folder and extension.
      {"ProgramTitleOf", ProgramTitleOf, "C:\\APPS\\QuarnelHelper.exe", "QuarnelHelper"},
      {"ProgramTitleOf", ProgramTitleOf, "C:\\A.B\\NOEXT", "NOEXT"},
      {"ProgramTitleOf", ProgramTitleOf, "C:\\X\\name.tar.exe", "name.tar"},
      {"ProgramTitleOf", ProgramTitleOf, "QuarnelHelper.EXE", "QuarnelHelper"},
      {"ProgramTitleOf", ProgramTitleOf, "", ""},
      // The last line that holds anything.
      {"LastLine", LastLine, "QUARNEL 1.2\r\n3 replaced, 1 added, 0 left out\r\n",
       "3 replaced, 1 added, 0 left out"},
      {"LastLine", LastLine, "a\nb\n", "b"},
      {"LastLine", LastLine, "a\nb", "b"},  // no line break after the last line
      {"LastLine", LastLine, "a\n\r\n\n", "a"},
      {"LastLine", LastLine, "only", "only"},
      {"LastLine", LastLine, "\r\n\n", ""},
      {"LastLine", LastLine, "", ""},
      {"LastLine", LastLine, "x\r\r\n", "x\r"},  // only the line break's one carriage return goes
      // ASCII letters only.
      {"MakeUpper", Upper, "c:\\fs\\myafd.bgl", "C:\\FS\\MYAFD.BGL"},
      {"MakeUpper", Upper, "AbC-xYz_09 !", "ABC-XYZ_09 !"},
      {"MakeUpper", Upper, "az`{@[", "AZ`{@["},  // the neighbours of a-z are not letters
      {"MakeUpper", Upper, "caf\xE9.bgl", "CAF\xE9.BGL"},
      {"MakeUpper", Upper, std::string("a\0b", 3), std::string("A\0B", 3)},
      {"MakeUpper", Upper, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.helper(c.in), c.out) << c.name << "(\"" << c.in << "\")";
  }
}

}  // namespace
}  // namespace quarnel_helper
