// The tool's entry point: one RunState for the whole run.
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"

int main(int argc, char** argv) {
  quarnel::RunState rs;
  if (!rs.allocate()) {
    // Said on standard error, so that this ExitCode is told apart from a
    // system or an emulator that could not start the program at all.
    std::fputs("quarnel: cannot allocate the work buffers\n", stderr);
    return quarnel::kExitOutOfMemory;
  }
  const int result = quarnel::run(rs, argc, argv);
  std::fflush(stdout);
  return result;
}
