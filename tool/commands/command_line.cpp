// The command line: the option letter, the banner, dispatch to each command,
// the two GNU words, --help and --version, and the files of -L and -V.
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/typed_names.h"
#include "format/afd_format.h"
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
  int most = 0;  // arguments it uses at most, when it ignores any beyond (0: it uses all)
};

constexpr Usage kUsage[] = {
    {Command::kStatistics, 3, "-S file", "print the statistics of file", 3},
    {Command::kExtract, 4, "-C file name [name ...]", "extract the named airports into afdtmp.bgl"},
    {Command::kLink, 4, "-R base source [output]", "link source into base (output: afdtmp.bgl)",
     5},
    {Command::kList, 3, "-L file [file ...]", "list the facilities and name lists of each file"},
    {Command::kListJson, 3, "-J file", "the same listing as JSON, for scripts", 3},
    {Command::kCheck, 3, "-V file [file ...]", "check each file; exit code 8 for problems"},
    {Command::kPreview, 4, "-P base source", "preview which source airports a link takes", 4},
    {Command::kMerge, 4, "-M base source [output]", "link, and add the airports base lacks"},
    {Command::kMerge, 4, "-M base source... output", "merge sources or folders, in order"},
    {Command::kIndex, 3, "-I folder", "list the AFD files a merge of folder takes", 3},
    {Command::kBuild, 3, "-B description [output]", "build a file from a JSON description", 4},
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

// One line for each name that selected no airport of the scanned file, as
// typed or in the file's code page (typed_names.h).
void explain_unmatched_names(const RunState& rs, const char* path, int argc,
                             const char* const* argv) {
  for (int k = 3; k < argc; ++k) {
    const std::string_view name = argv[k];
    bool repeated = false;
    for (int j = 3; j < k; ++j) repeated = repeated || name == argv[j];
    if (repeated || typed_name_selects(rs.catalogue, name)) continue;
    explain("no airport named \"%s\" in %s", argv[k], path);
  }
}

// A more telling ExitCode of -L or -V over several files: a file that could
// not be read at all outranks one that is not an AFD file, which outranks one
// with problems.
int worse_result(int a, int b) {
  const auto rank = [](int r) {
    return r == kExitCannotOpen ? 3 : r == kExitBadHeader ? 2 : r == kExitOk ? 0 : 1;
  };
  return rank(b) > rank(a) ? b : a;
}

// -L and -V on each file in turn, every one of them whatever the others hold.
// With more than one, each file's lines stand under a head line as head(1)
// writes it, after an empty line from the block before.
int run_on_each_file(RunState& rs, Command command, int argc, const char* const* argv) {
  int result = kExitOk;
  for (int k = 2; k < argc; ++k) {
    if (argc > 3) std::printf("%s==> %s <==\n", k > 2 ? "\n" : "", argv[k]);
    rs.reset();
    const int one = command == Command::kList ? run_list(rs, argv[k]) : run_check(rs, argv[k]);
    if (one != kExitOk && one != kExitProblemsFound) {
      std::printf("error processing file:\"%s\"\n", argv[k]);
    }
    result = worse_result(result, one);
  }
  return result;
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

bool writes_output(Command command) {
  return command == Command::kExtract || command == Command::kLink ||
         command == Command::kMerge || command == Command::kBuild;
}

// A command that ran out of memory ends as any failing command does: its
// output dropped, an earlier file at the output path kept.
int out_of_memory(RunState& rs, Command command, const char* option) {
  rs.output.abandon();
  std::fflush(stdout);
  if (writes_output(command) && !rs.output.committed()) {
    explain("not enough memory for %s: %s is not written; a file there stays as it was", option,
            rs.output_path.c_str());
  } else {
    explain("not enough memory for %s: it stops here", option);
  }
  return kExitOutOfMemory;
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

namespace {

int run_unguarded(RunState& rs, int argc, const char* const* argv) {
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
    } else {
      explain("\"quarnel --help\" lists the commands");
    }
    return kExitOk;
  }
  const Usage* usage = usage_of(command);
  if (argc < usage->argc) {
    explain("too few arguments for %s; usage: quarnel %s", argv[1], usage->synopsis);
    return kExitOk;
  }
  for (int k = usage->most; usage->most > 0 && k < argc; ++k) explain("ignored: %s", argv[k]);
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
      result = run_on_each_file(rs, command, argc, argv);
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

}  // namespace

int run(RunState& rs, int argc, const char* const* argv) {
  // Whatever a command's input asks for is bounded, but the system may still
  // refuse memory (a limit on the address space): the run then ends here,
  // its stack unwound and its output dropped, instead of aborting.
  const char* option = argc > 1 ? argv[1] : "the command line";
  try {
    return run_unguarded(rs, argc, argv);
  } catch (const std::bad_alloc&) {
    return out_of_memory(rs, parse_command(argc, argv), option);
  } catch (const std::length_error&) {
    return out_of_memory(rs, parse_command(argc, argv), option);
  }
}

}  // namespace quarnel
