// The tool's entry point: one RunState for the whole run.
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"

int main(int argc, char** argv) {
  quarnel::RunState rs;
  if (!rs.allocate()) return quarnel::kExitOutOfMemory;
  const int result = quarnel::run(rs, argc, argv);
  std::fflush(stdout);
  return result;
}
