// The command line: the option letter, the banner, dispatch to each command.
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "io/platform.h"
#include "scan/catalogue.h"

namespace quarnel {

namespace {

constexpr const char* kDefaultOutput = "afdtmp.bgl";
constexpr const char* kNoArgumentsCaption = "Information";
constexpr const char* kNoArgumentsText =
    "QUARNEL is a Win32 console application\nand needs command line parameters.\n"
    "Please open a console window (DOS Box)\nto enter a command line or use a\n"
    "front end application like QUARNELHELPER";

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
  return run_extract(rs, argv[2], rs.name_table);
}

}  // namespace

Command parse_command(int argc, const char* const* argv) {
  if (argc <= 1 || argv[1][0] != '-') return Command::kNone;
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
    case 'M':
      return Command::kMerge;
    default:
      return Command::kNone;
  }
}

int run(RunState& rs, int argc, const char* const* argv) {
  const Command command = parse_command(argc, argv);
  // Scripts read the JSON listing whole, so nothing may stand before it.
  if (command != Command::kListJson) std::printf("QUARNEL 1.2\n");
  int result = kExitOk;
  switch (command) {
    case Command::kStatistics:
      if (argc >= 3) {
        result = run_statistics(rs, argv[2]);
        if (result != kExitOk) std::printf("error processing file:\"%s\"\n", argv[2]);
      }
      break;
    case Command::kExtract:
      if (argc >= 4) result = run_extract_command(rs, argc, argv);
      break;
    case Command::kLink:
    case Command::kMerge:
      if (argc >= 4) {
        rs.first_input_path = argv[2];
        rs.second_input_path = argv[3];
        rs.output_path = argc >= 5 ? argv[4] : kDefaultOutput;
        result = command == Command::kLink ? run_link(rs) : run_merge(rs);
      }
      break;
    case Command::kList:
    case Command::kCheck:
      if (argc >= 3) {
        result = command == Command::kList ? run_list(rs, argv[2]) : run_check(rs, argv[2]);
        if (result != kExitOk && result != kExitProblemsFound) {
          std::printf("error processing file:\"%s\"\n", argv[2]);
        }
      }
      break;
    case Command::kListJson:
      if (argc >= 3) {
        result = run_list_json(rs, argv[2], stdout, stderr);
        if (result != kExitOk) std::fprintf(stderr, "error processing file:\"%s\"\n", argv[2]);
      }
      break;
    case Command::kPreview:
      if (argc >= 4) {
        rs.first_input_path = argv[2];
        rs.second_input_path = argv[3];
        result = run_preview(rs);
      }
      break;
    case Command::kNone:
      std::printf("unknown command\n");
      if (argc <= 1) {
        std::fflush(stdout);
        platform::show_notice(kNoArgumentsCaption, kNoArgumentsText);
      }
      break;
  }
  return result;
}

}  // namespace quarnel
