// The one way the tests run the program's command line inside the test
// process, where the sanitizers watch every read and the state is there to
// look at afterwards.
#pragma once

#include <string>
#include <vector>

#include "commands/run_state.h"

namespace afdtest {

// Runs `args` (what follows the program's name) on `rs` as main does: the
// work buffers are allocated first, and a run that cannot have them ends with
// the out-of-memory ExitCode. Standard output is flushed before it returns.
int run_in_process(quarnel::RunState& rs, const std::vector<std::string>& args);

struct InProcessRun {
  int rc;
  std::string out;
  std::string err;
};

// The same on a fresh state, with both output streams captured.
InProcessRun run_in_process(const std::vector<std::string>& args);

}  // namespace afdtest
