// The tool's entry point: one RunState for the whole run.
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "io/explain.h"

int main(int argc, char** argv) {
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
