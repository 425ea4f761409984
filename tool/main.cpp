// The tool's entry point: one RunState for the whole run.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "io/explain.h"
#include "io/files.h"

namespace {

// The last stop of an exception that nothing caught, or of one thrown where
// no catch may stand: the temporary output goes first, so that no run leaves
// one behind, however it ends. A failed allocation ends as the run's own
// catch ends it; anything else is a fault of the tool and aborts.
[[noreturn]] void end_without_unwinding() {
  quarnel::OutputFile::remove_live_temporaries();
  bool memory = false;
  if (const std::exception_ptr thrown = std::current_exception()) {
    try {
      std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
      memory = true;
    } catch (...) {
    }
  }
  std::fflush(stdout);
  if (memory) {
    quarnel::explain("not enough memory: the run stops here, and writes nothing");
    std::_Exit(quarnel::kExitOutOfMemory);
  }
  quarnel::explain("an internal error stopped the run; it writes nothing");
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  std::set_terminate(end_without_unwinding);
  quarnel::RunState rs;
  if (!rs.allocate()) {
    // Standard output stays empty, as callers expect of this failure.
    quarnel::explain("not enough memory for the work buffers");
    return quarnel::kExitOutOfMemory;
  }
  const int result = quarnel::run(rs, argc, argv);
  std::fflush(stdout);
  return result;
}
