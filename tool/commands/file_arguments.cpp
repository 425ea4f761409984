// The arguments of the commands that look at files and write none: -S, -J and
// -I take one, -L and -V each file given.
#include <cstdio>

#include "commands/command_table.h"
#include "commands/exit_codes.h"

namespace quarnel {

namespace {

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
int run_on_each_file(RunState& rs, int (*run_one)(RunState&, const std::string&), int argc,
                     const char* const* argv) {
  int result = kExitOk;
  for (int k = 2; k < argc; ++k) {
    if (argc > 3) std::printf("%s==> %s <==\n", k > 2 ? "\n" : "", argv[k]);
    rs.reset();
    rs.first_input_path = argv[k];
    const int one = run_one(rs, argv[k]);
    result = worse_result(result, one);
  }
  return result;
}

}  // namespace

int statistics_command(RunState& rs, int, const char* const* argv) {
  rs.first_input_path = argv[2];
  return run_statistics(rs, argv[2]);
}

int list_command(RunState& rs, int argc, const char* const* argv) {
  return run_on_each_file(rs, run_list, argc, argv);
}

int check_command(RunState& rs, int argc, const char* const* argv) {
  return run_on_each_file(rs, run_check, argc, argv);
}

int list_json_command(RunState& rs, int, const char* const* argv) {
  rs.first_input_path = argv[2];
  return run_list_json(rs, argv[2], stdout);
}

int index_command(RunState& rs, int, const char* const* argv) {
  return run_index(rs, argv[2]);
}

}  // namespace quarnel
