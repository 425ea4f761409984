// The command line: the option letter, the banner, dispatch to each command,
// and the two GNU words, --help and --version.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/afd_format.h"
#include "format/text_forms.h"
#include "io/explain.h"
#include "io/folders.h"
#include "io/platform.h"
#include "scan/catalogue.h"

namespace quarnel {

namespace {

constexpr const char* kDefaultOutput = "afdtmp.bgl";

struct Usage {
  Command command;
  int argc;  // arguments the command needs, the program's name included
  const char* synopsis;
  const char* what;
};

constexpr Usage kUsage[] = {
    {Command::kStatistics, 3, "-S file", "print the statistics of file"},
    {Command::kExtract, 4, "-C file name [name ...]", "extract the named airports into afdtmp.bgl"},
    {Command::kLink, 4, "-R base source [output]", "link source into base (output: afdtmp.bgl)"},
    {Command::kList, 3, "-L file", "list the facilities and name lists of file"},
    {Command::kListJson, 3, "-J file", "the same listing as JSON, for scripts"},
    {Command::kCheck, 3, "-V file", "check file; exit code 8 when it has problems"},
    {Command::kPreview, 4, "-P base source", "preview which source airports a link takes"},
    {Command::kMerge, 4, "-M base source [output]", "link, and add the airports base lacks"},
    {Command::kMerge, 4, "-M base source... output", "merge sources or folders, in order"},
    {Command::kIndex, 3, "-I folder", "list the AFD files a merge of folder takes"},
    {Command::kBuild, 3, "-B description [output]", "build a file from a JSON description"},
    {Command::kHelp, 2, "--help", "show this help"},
    {Command::kVersion, 2, "--version", "show the version and the licence"},
};

const Usage* usage_of(Command command) {
  for (const Usage& u : kUsage) {
    if (u.command == command) return &u;
  }
  return nullptr;
}

std::string usage_text() {
  std::string text = "Usage: quarnel COMMAND ARGUMENTS...\n";
  for (const Usage& u : kUsage) {
    char line[128];
    std::snprintf(line, sizeof line, "  quarnel %-25s%s\n", u.synopsis, u.what);
    text += line;
  }
  text +=
      "\nThe option letter may be given in either case; only its first letter counts.\n"
      "Airport names are compared byte for byte and case-sensitively.\n"
      "Exit codes, messages and the file format: man quarnel\n";
  return text;
}

void print_version() {
  std::printf("quarnel %s\n", QUARNEL_VERSION);
  std::printf("Copyright (c) 2026 The Quarnel developers. MIT licence; no warranty.\n");
}

bool has_non_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// Whether an airport of the scanned file has `name`; only selected ones when
// `selected_only`.
bool file_has_airport(const RunState& rs, std::string_view name, bool selected_only) {
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (e.kind != kSubtypeAirport || e.name == nullptr) continue;
    if ((!selected_only || is_selected(e)) && name == e.name) return true;
  }
  return false;
}

// One line for each name that selected no airport of the scanned file. A name
// typed in a UTF-8 terminal differs byte for byte from the file's
// Windows-1252 form of it, which the line then points out.
void explain_unmatched_names(const RunState& rs, const char* path, int argc,
                             const char* const* argv) {
  for (int k = 3; k < argc; ++k) {
    const std::string_view name = argv[k];
    bool repeated = false;
    for (int j = 3; j < k; ++j) repeated = repeated || name == argv[j];
    if (repeated || file_has_airport(rs, name, true)) continue;
    std::string in_file;
    if (platform::arguments_may_be_utf8() && has_non_ascii(name) &&
        windows_1252_from_utf8(name, &in_file) && file_has_airport(rs, in_file, false)) {
      explain(
          "no airport named \"%s\" in %s (the file holds \"%s\" in Windows-1252; pass it in that "
          "encoding)",
          argv[k], path, argv[k]);
    } else {
      explain("no airport named \"%s\" in %s", argv[k], path);
    }
  }
}

int run_extract_command(RunState& rs, int argc, const char* const* argv) {
  const int names = argc - 3;
  // Names beyond the table's 64 slots would be dropped without a word; a
  // command that cannot do all it was asked is refused instead.
  if (names > static_cast<int>(kNameTableSlots)) {
    std::printf("too many names: %d (at most %d)\n", names, static_cast<int>(kNameTableSlots));
    return kExitTooManyNames;
  }
  rs.output_path = kDefaultOutput;
  for (int k = 0; k < names; ++k) {
    rs.name_table.slots[static_cast<std::size_t>(k)] = add_name(rs.catalogue, argv[3 + k], false);
  }
  rs.name_table.count = static_cast<std::size_t>(names);
  const int result = run_extract(rs, argv[2], rs.name_table);
  // The names were matched only when the input could be read.
  if (result == kExitCannotOpen || result == kExitBadHeader) return result;
  explain_unmatched_names(rs, argv[2], argc, argv);
  if (result == kExitNothingFound) {
    explain(
        "none of the names selects an airport; names are compared byte for byte and "
        "case-sensitively, and \"quarnel -L %s\" lists them",
        argv[2]);
  }
  return result;
}

}  // namespace

Command parse_command(int argc, const char* const* argv) {
  if (argc <= 1 || argv[1][0] != '-') return Command::kNone;
  if (std::strcmp(argv[1], "--help") == 0) return Command::kHelp;
  if (std::strcmp(argv[1], "--version") == 0) return Command::kVersion;
  char letter = argv[1][1];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  switch (letter) {
    case 'C':
      return Command::kExtract;
    case 'R':
      return Command::kLink;
    case 'S':
      return Command::kStatistics;
    case 'L':
      return Command::kList;
    case 'J':
      return Command::kListJson;
    case 'V':
      return Command::kCheck;
    case 'P':
      return Command::kPreview;
    case 'B':
      return Command::kBuild;
    case 'M':
      return Command::kMerge;
    case 'I':
      return Command::kIndex;
    default:
      return Command::kNone;
  }
}

int run(RunState& rs, int argc, const char* const* argv) {
  const Command command = parse_command(argc, argv);
  if (command == Command::kHelp) {
    std::fputs(usage_text().c_str(), stdout);
    return kExitOk;
  }
  if (command == Command::kVersion) {
    print_version();
    return kExitOk;
  }
  // Scripts read the JSON listing whole, so nothing may stand before it.
  if (command != Command::kListJson) std::printf("QUARNEL 1.2\n");
  if (command == Command::kNone) {
    std::printf("unknown command\n");
    if (argc <= 1) {
      std::fflush(stdout);
      platform::show_no_arguments_notice(usage_text().c_str());
    }
    return kExitOk;
  }
  const Usage* usage = usage_of(command);
  if (argc < usage->argc) {
    explain("too few arguments for %s; usage: quarnel %s", argv[1], usage->synopsis);
    return kExitOk;
  }
  int result = kExitOk;
  switch (command) {
    case Command::kStatistics:
      result = run_statistics(rs, argv[2]);
      if (result != kExitOk) std::printf("error processing file:\"%s\"\n", argv[2]);
      break;
    case Command::kExtract:
      result = run_extract_command(rs, argc, argv);
      break;
    case Command::kLink:
    case Command::kMerge:
      rs.first_input_path = argv[2];
      rs.second_input_path = argv[3];
      rs.output_path = argc >= 5 ? argv[command == Command::kLink ? 4 : argc - 1] : kDefaultOutput;
      if (command == Command::kLink) {
        result = run_link(rs);
      } else if (argc <= 5 && !is_folder(argv[3])) {
        result = run_merge(rs);
      } else {
        // With more than one source the output is the last path, and given.
        result = run_merge_batch(rs, {argv + 3, argv + (argc <= 5 ? 4 : argc - 1)});
      }
      break;
    case Command::kList:
    case Command::kCheck:
      result = command == Command::kList ? run_list(rs, argv[2]) : run_check(rs, argv[2]);
      if (result != kExitOk && result != kExitProblemsFound) {
        std::printf("error processing file:\"%s\"\n", argv[2]);
      }
      break;
    case Command::kListJson:
      result = run_list_json(rs, argv[2], stdout, stderr);
      if (result != kExitOk) std::fprintf(stderr, "error processing file:\"%s\"\n", argv[2]);
      break;
    case Command::kIndex:
      result = run_index(rs, argv[2]);
      break;
    case Command::kPreview:
      rs.first_input_path = argv[2];
      rs.second_input_path = argv[3];
      result = run_preview(rs);
      break;
    case Command::kBuild:
      rs.output_path = argc >= 4 ? argv[3] : kDefaultOutput;
      result = run_build(rs, argv[2]);
      break;
    case Command::kNone:
    case Command::kHelp:
    case Command::kVersion:
      break;
  }
  return result;
}

}  // namespace quarnel
