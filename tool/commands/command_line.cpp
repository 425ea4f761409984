// The command line: the banner, the row of the command table that the option
// names, its count of arguments, and a run that runs out of memory.
#include <cstdio>
#include <new>
#include <stdexcept>

#include "commands/command_table.h"
#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "io/explain.h"
#include "io/platform.h"

namespace quarnel {

namespace {

// A command that ran out of memory ends as any failing command does: its
// output dropped, an earlier file at the output path kept.
int out_of_memory(RunState& rs, const CommandRow* row, const char* option) {
  rs.output.abandon();
  std::fflush(stdout);
  if (row != nullptr && row->writes && !rs.output.committed()) {
    explain("not enough memory for %s: %s is not written; a file there stays as it was", option,
            rs.output_path.c_str());
  } else {
    explain("not enough memory for %s: it stops here", option);
  }
  return kExitOutOfMemory;
}

int run_unguarded(RunState& rs, int argc, const char* const* argv) {
  const CommandRow* row = find_command(argc, argv);
  if (row == nullptr || row->banner) std::printf("QUARNEL 1.2\n");
  if (row == nullptr) {
    std::printf("unknown command\n");
    if (argc <= 1) {
      std::fflush(stdout);
      platform::show_no_arguments_notice(usage_text().c_str());
    } else {
      explain("\"quarnel --help\" lists the commands");
    }
    return kExitOk;
  }
  if (argc < row->argc) {
    explain("too few arguments for %s; usage: quarnel %s", argv[1], row->usage[0].synopsis);
    return kExitOk;
  }
  for (int k = row->most; row->most > 0 && k < argc; ++k) explain("ignored: %s", argv[k]);
  return row->handler(rs, argc, argv);
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
    return out_of_memory(rs, find_command(argc, argv), option);
  } catch (const std::length_error&) {
    return out_of_memory(rs, find_command(argc, argv), option);
  }
}

}  // namespace quarnel
