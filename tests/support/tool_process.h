// Runs the real quarnel binary as a child process under the conditions a
// fault test needs: a file-size limit, SIGXFSZ ignored or not, an unprivileged
// user, and a signal sent while the run writes its output.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace robustness {

struct Launch {
  std::vector<std::string> args;   // after the program name
  std::string dir;                 // working folder of the run
  long long file_size_limit = -1;  // RLIMIT_FSIZE in bytes; -1: none
  bool ignore_sigxfsz = false;
  bool unprivileged = false;  // run as an unprivileged user (tests run as root)
};

struct Outcome {
  bool exited = false;  // false: ended by a signal
  int exit_code = -1;
  int signal = 0;
  std::string out;  // standard output
};

// The binary under test: $QUARNEL_EXE.
const std::string& quarnel_exe();

Outcome run_quarnel(const Launch& launch);

// Starts the run, calls `when_ready` every millisecond until it returns true,
// then sends `sig`, and waits for the end.
Outcome run_quarnel_interrupted(const Launch& launch, const std::function<bool()>& when_ready,
                                int sig);

// Whether the current user ignores file permissions (root), and the user id
// to drop to for the checks that need permissions to apply.
bool permissions_are_bypassed();
uid_t unprivileged_uid();
gid_t unprivileged_gid();

// Names in `names` that start with the temporary-file prefix of an output.
std::vector<std::string> temporaries(const std::vector<std::string>& names);

}  // namespace robustness
