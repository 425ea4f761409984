// The arguments of the commands that take a base and a source: -R and -M,
// which write an output, and -P, which only looks.
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "io/folders.h"

namespace quarnel {

namespace {

void take_inputs(RunState& rs, const char* const* argv) {
  rs.first_input_path = argv[2];
  rs.second_input_path = argv[3];
}

}  // namespace

int link_command(RunState& rs, int argc, const char* const* argv) {
  take_inputs(rs, argv);
  rs.output_path = argc >= 5 ? argv[4] : kDefaultOutput;
  return run_link(rs);
}

int merge_command(RunState& rs, int argc, const char* const* argv) {
  take_inputs(rs, argv);
  // With more than one source the output is the last path, and given.
  rs.output_path = argc >= 5 ? argv[argc - 1] : kDefaultOutput;
  if (argc <= 5 && !is_folder(argv[3])) return run_merge(rs);
  return run_merge_batch(rs, {argv + 3, argv + (argc <= 5 ? 4 : argc - 1)});
}

int preview_command(RunState& rs, int, const char* const* argv) {
  take_inputs(rs, argv);
  return run_preview(rs);
}

}  // namespace quarnel
