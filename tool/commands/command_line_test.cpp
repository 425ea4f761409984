// Tests of how the command line is read (option letters, the command table)
// and of how every command ends (the failure lines and their reasons).
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "commands/command_end.h"
#include "commands/command_table.h"
#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

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

// Every row is found by its own name in either case, shows that name in
// each of its usage lines, and each usage line stands in --help.
TEST(CommandTableTest, EachRowIsNamedAsItsUsageLinesShowIt) {
  const std::string help = usage_text();
  for (int c = static_cast<int>(Command::kStatistics); c <= static_cast<int>(Command::kIndex); ++c) {
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
      EXPECT_NE(help.find(std::string("  quarnel ") + u.synopsis), std::string::npos)
          << u.synopsis;
    }
    EXPECT_GE(row->argc, 2) << name;
    EXPECT_TRUE(row->most == 0 || row->most >= row->argc) << name;
  }
}

struct EndCase {
  const char* name;
  Command command;
  int result;
  std::vector<FileFailure> noted;  // each with the path "f.bgl", or the output's
  int expected;
  std::string out;
  std::string err;
};

std::ostream& operator<<(std::ostream& os, const EndCase& c) { return os << c.name; }

class EndCommandTest : public testing::ToolTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndCommandTest, TellsTheNotedFailuresByTheCommandsRule) {
  const EndCase& c = GetParam();
  const std::string missing_folder = dir.file("nofolder/out.bgl");
  rs.first_input_path = "f.bgl";
  rs.output_path = missing_folder;
  for (const FileFailure what : c.noted) {
    const bool output = what == FileFailure::kOutputRefused || what == FileFailure::kCannotWrite;
    if (what == FileFailure::kOutputRefused) {
      EXPECT_FALSE(rs.output.create(missing_folder));
    }
    rs.failures.note(what, output ? missing_folder : "f.bgl", ENOENT);
  }
  afdtest::CapturedStdout err(2);
  afdtest::CapturedStdout out;
  EXPECT_EQ(end_command(rs, c.command, c.result), c.expected);
  // The scratch folder's own name is the test's, not the rule's.
  const auto shown = [&](std::string text) {
    for (const std::string& path : {missing_folder, dir.path() + "/"}) {
      for (std::size_t at; (at = text.find(path)) != std::string::npos;) {
        text.replace(at, path.size(), path == missing_folder ? "OUT" : "");
      }
    }
    return text;
  };
  EXPECT_EQ(shown(out.text()), c.out);
  EXPECT_EQ(shown(err.text()), c.err);
  EXPECT_TRUE(rs.failures.all().empty());
}

const std::string kNoFile = "quarnel: cannot open f.bgl: no such file; check its name and folder\n";
const std::string kNoFolder = "quarnel: cannot write OUT: there is no folder ";

INSTANTIATE_TEST_SUITE_P(
    Rules, EndCommandTest,
    ::testing::Values(
        EndCase{"StatisticsCannotOpen", Command::kStatistics, kExitCannotOpen,
                {FileFailure::kCannotOpen}, kExitCannotOpen,
                "cannot open:\"f.bgl\"\nerror processing file:\"f.bgl\"\n", kNoFile},
        EndCase{"JsonListingKeepsStandardOutputForTheDocument", Command::kListJson,
                kExitCannotOpen, {FileFailure::kCannotOpen}, kExitCannotOpen, "",
                "cannot open:\"f.bgl\"\n" + kNoFile + "error processing file:\"f.bgl\"\n"},
        EndCase{"ListOfAFileThatIsNone", Command::kList, kExitBadHeader, {}, kExitBadHeader,
                "error processing file:\"f.bgl\"\n", ""},
        EndCase{"CheckWithProblemsIsNoFailure", Command::kCheck, kExitProblemsFound, {},
                kExitProblemsFound, "", ""},
        EndCase{"StatisticsOk", Command::kStatistics, kExitOk, {}, kExitOk, "", ""},
        EndCase{"LinkBothInputsMissing", Command::kLink, kExitCannotOpen,
                {FileFailure::kCannotOpen, FileFailure::kCannotOpen}, kExitCannotOpen,
                "cannot open:\"f.bgl\"\ncannot open:\"f.bgl\"\n", kNoFile + kNoFile},
        EndCase{"LinkRefusedOutputIsOnlyExplained", Command::kLink, kExitCannotWrite,
                {FileFailure::kOutputRefused}, kExitCannotWrite, "",
                kNoFolder + "nofolder; create it or name another\n"},
        EndCase{"BuildRefusedOutputIsToldAndExplained", Command::kBuild, kExitCannotWrite,
                {FileFailure::kOutputRefused}, kExitCannotWrite, "cannot write:\"OUT\"\n",
                kNoFolder + "nofolder; create it or name another\n"},
        EndCase{"WriteFailedMidwayIsToldOnly", Command::kMerge, kExitCannotWrite,
                {FileFailure::kCannotWrite}, kExitCannotWrite, "cannot write:\"OUT\"\n", ""},
        EndCase{"ExtractUnreadableInput", Command::kExtract, kExitCannotOpen,
                {FileFailure::kCannotRead}, kExitCannotOpen, "cannot read:\"f.bgl\"\n", ""},
        EndCase{"PreviewNeverSaysErrorProcessing", Command::kPreview, kExitNoMatch, {},
                kExitNoMatch, "", ""}),
    [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quarnel
