#include "commands/command_table.h"

#include <cstdio>
#include <cstring>

#include "commands/exit_codes.h"

namespace quarnel {

namespace {

int help_command(RunState&, int, const char* const*) {
  std::fputs(usage_text().c_str(), stdout);
  return kExitOk;
}

int version_command(RunState&, int, const char* const*) {
  std::printf("quarnel %s\n", QUARNEL_VERSION);
  std::printf("Copyright (c) 2026 The Quarnel developers. MIT licence; no warranty.\n");
  return kExitOk;
}

// In the order --help shows them.
constexpr CommandRow kCommands[] = {
    {Command::kStatistics, 'S', nullptr, 3, 3, true, false,
     {{"-S file", "print the statistics of file"}}, statistics_command},
    {Command::kExtract, 'C', nullptr, 4, 0, true, true,
     {{"-C file name [name ...]", "extract the named airports into afdtmp.bgl"}}, extract_command},
    {Command::kLink, 'R', nullptr, 4, 5, true, true,
     {{"-R base source [output]", "link source into base (output: afdtmp.bgl)"}}, link_command},
    {Command::kList, 'L', nullptr, 3, 0, true, false,
     {{"-L file [file ...]", "list the facilities and name lists of each file"}}, list_command},
    {Command::kListJson, 'J', nullptr, 3, 3, false, false,
     {{"-J file", "the same listing as JSON, for scripts"}}, list_json_command},
    {Command::kCheck, 'V', nullptr, 3, 0, true, false,
     {{"-V file [file ...]", "check each file; exit code 8 for problems"}}, check_command},
    {Command::kPreview, 'P', nullptr, 4, 4, true, false,
     {{"-P base source", "preview which source airports a link takes"}}, preview_command},
    {Command::kMerge, 'M', nullptr, 4, 0, true, true,
     {{"-M base source [output]", "link, and add the airports base lacks"},
      {"-M base source... output", "merge sources or folders, in order"}},
     merge_command},
    {Command::kIndex, 'I', nullptr, 3, 3, true, false,
     {{"-I folder", "list the AFD files a merge of folder takes"}}, index_command},
    {Command::kBuild, 'B', nullptr, 3, 4, true, true,
     {{"-B description [output]", "build a file from a JSON description"}}, build_command},
    {Command::kHelp, 0, "--help", 2, 0, false, false, {{"--help", "show this help"}},
     help_command},
    {Command::kVersion, 0, "--version", 2, 0, false, false,
     {{"--version", "show the version and the licence"}}, version_command},
};

}  // namespace

const CommandRow* find_command(int argc, const char* const* argv) {
  if (argc <= 1 || argv[1][0] != '-') return nullptr;
  char letter = argv[1][1];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  for (const CommandRow& row : kCommands) {
    const bool named = row.letter != 0 ? row.letter == letter
                                       : std::strcmp(argv[1], row.word) == 0;
    if (named) return &row;
  }
  return nullptr;
}

const CommandRow* row_of(Command command) {
  for (const CommandRow& row : kCommands) {
    if (row.command == command) return &row;
  }
  return nullptr;
}

std::string usage_text() {
  std::string text = "Usage: quarnel COMMAND ARGUMENTS...\n";
  for (const CommandRow& row : kCommands) {
    for (const UsageLine& u : row.usage) {
      if (u.synopsis == nullptr) continue;
      char line[128];
      std::snprintf(line, sizeof line, "  quarnel %-25s%s\n", u.synopsis, u.what);
      text += line;
    }
  }
  text +=
      "\nThe option letter may be given in either case; only its first letter counts.\n"
      "Airport names are compared byte for byte and case-sensitively.\n"
      "Exit codes, messages and the file format: man quarnel\n";
  return text;
}

Command parse_command(int argc, const char* const* argv) {
  const CommandRow* row = find_command(argc, argv);
  return row != nullptr ? row->command : Command::kNone;
}

}  // namespace quarnel
