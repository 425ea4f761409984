// The arguments of -B: the description ("-": standard input) and the output.
#include "commands/command_table.h"

namespace quarnel {

int build_command(RunState& rs, int argc, const char* const* argv) {
  rs.output_path = argc >= 4 ? argv[3] : kDefaultOutput;
  return run_build(rs, argv[2]);
}

}  // namespace quarnel
