#include "in_process.h"

#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "test_support.h"

namespace afdtest {

int run_in_process(quarnel::RunState& rs, const std::vector<std::string>& args) {
  std::vector<const char*> argv{"quarnel"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const int rc = rs.allocate() ? quarnel::run(rs, static_cast<int>(args.size()) + 1, argv.data())
                               : quarnel::kExitOutOfMemory;
  std::fflush(stdout);
  return rc;
}

InProcessRun run_in_process(const std::vector<std::string>& args) {
  quarnel::RunState rs;
  CapturedStdout out(1);
  CapturedStdout err(2);
  const int rc = run_in_process(rs, args);
  return {rc, out.text(), err.text()};
}

}  // namespace afdtest
