// Tests of how the command line is read: option letters, argument counts.
#include <gtest/gtest.h>

#include "commands/commands.h"

namespace quarnel {
namespace {

TEST(ParseCommandTest, OptionLetterInEitherCaseAfterADash) {
  struct Case {
    std::vector<const char*> argv;
    Command expected;
  };
  const Case cases[] = {
      {{"quarnel"}, Command::kNone},
      {{"quarnel", "-S"}, Command::kStatistics},
      {{"quarnel", "-s", "f"}, Command::kStatistics},
      {{"quarnel", "-Stat", "f"}, Command::kStatistics},
      {{"quarnel", "-c", "f", "n"}, Command::kExtract},
      {{"quarnel", "-R", "b", "s"}, Command::kLink},
      {{"quarnel", "-r"}, Command::kLink},
      {{"quarnel", "S", "f"}, Command::kNone},
      {{"quarnel", "-X", "f"}, Command::kNone},
      {{"quarnel", "-", "f"}, Command::kNone},
      {{"quarnel", "", "f"}, Command::kNone},
      {{"quarnel", "--S"}, Command::kNone},
      {{"quarnel", "-{"}, Command::kNone},  // the character after 'z' is not a letter
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_command(static_cast<int>(c.argv.size()), c.argv.data()), c.expected)
        << (c.argv.size() > 1 ? c.argv[1] : "(none)");
  }
}

}  // namespace
}  // namespace quarnel
