// Tests of how the command line is read: option letters and the command
// table. How every command ends, with its failure lines and their reasons, is
// held by the golden failure-line tests and the fault sweeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/commands.h"

namespace quarnel {
namespace {

// The golden command-line tests run the rest: no option, one without its
// dash, unknown letters, lower case and longer words after the letter.
TEST(ParseCommandTest, OnlyALetterAfterOneDashNamesACommand) {
  // The character after 'z' is not a letter.
  for (const char* given : {"--S", "-{"}) {
    const char* argv[] = {"quarnel", given};
    EXPECT_EQ(parse_command(2, argv), Command::kNone) << given;
  }
}

// Every row is found by its own name in either case, shows that name in
// each of its usage lines, and each usage line stands in --help.
TEST(CommandTableTest, EachRowIsNamedAsItsUsageLinesShowIt) {
  const std::string help = usage_text();
  for (int c = static_cast<int>(Command::kStatistics); c <= static_cast<int>(Command::kIndex);
       ++c) {
    const CommandRow* row = row_of(static_cast<Command>(c));
    ASSERT_NE(row, nullptr) << c;
    ASSERT_NE(row->handler, nullptr) << c;
    const std::string name = row->letter != 0 ? std::string{'-', row->letter} : row->word;
    const std::string lower = row->letter != 0 ? std::string{'-', char(row->letter | 0x20)} : name;
    for (const std::string& given : {name, lower}) {
      const char* argv[] = {"quarnel", given.c_str()};
      EXPECT_EQ(find_command(2, argv), row) << given;
    }
    for (const UsageLine& u : row->usage) {
      if (u.synopsis == nullptr) continue;
      EXPECT_EQ(std::string(u.synopsis).substr(0, name.size()), name) << u.synopsis;
      EXPECT_NE(help.find(std::string("  quarnel ") + u.synopsis), std::string::npos) << u.synopsis;
    }
    EXPECT_GE(row->argc, 2) << name;
    EXPECT_TRUE(row->most == 0 || row->most >= row->argc) << name;
  }
}

}  // namespace
}  // namespace quarnel
