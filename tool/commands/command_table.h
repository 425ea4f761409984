// The commands the tool answers, one row each: how the command line names it,
// what it needs, how --help shows it, and the handler that runs it. Parsing,
// dispatch and --help all read this one table, so a command is added in one
// place and cannot be shown in one and missed in another.
#pragma once

#include <string>

#include "commands/commands.h"

namespace quarnel {

// The output of -C, -R, -M and -B when none is named.
constexpr const char* kDefaultOutput = "afdtmp.bgl";

// Runs a command whose arguments passed the table's count; argv[1] is the
// option and argv[2] on are its arguments. Returns the ExitCode.
using CommandHandler = int (*)(RunState& rs, int argc, const char* const* argv);

struct UsageLine {
  const char* synopsis = nullptr;  // null: no line
  const char* what = nullptr;
};

struct CommandRow {
  Command command;
  // The option letter in upper case, or 0 for a row named by `word`.
  char letter;
  // The whole argument that names the row ("--help"), for rows without a letter.
  const char* word;
  int argc;  // arguments the command needs, the program's name included
  int most;  // arguments it uses at most, when it ignores any beyond (0: it uses all)
  // Whether the banner stands before the command's lines: scripts read the
  // JSON listing and the answers to the two words whole.
  bool banner;
  // Whether the command writes an output file (a run that fails keeps an
  // earlier file there).
  bool writes;
  UsageLine usage[2];
  CommandHandler handler;
};

// The row that argv[1] names, or null for an unknown command. The option
// letter may be given in either case and only its first letter counts; the
// two words must be given whole.
const CommandRow* find_command(int argc, const char* const* argv);

// The row of `command`; every Command but kNone has one.
const CommandRow* row_of(Command command);

// What --help prints: every usage line of the table, in its order.
std::string usage_text();

// The handlers, each in the file that holds its command's argument checks.
int statistics_command(RunState& rs, int argc, const char* const* argv);
int extract_command(RunState& rs, int argc, const char* const* argv);
int link_command(RunState& rs, int argc, const char* const* argv);
int list_command(RunState& rs, int argc, const char* const* argv);
int list_json_command(RunState& rs, int argc, const char* const* argv);
int check_command(RunState& rs, int argc, const char* const* argv);
int preview_command(RunState& rs, int argc, const char* const* argv);
int merge_command(RunState& rs, int argc, const char* const* argv);
int index_command(RunState& rs, int argc, const char* const* argv);
int build_command(RunState& rs, int argc, const char* const* argv);

}  // namespace quarnel
