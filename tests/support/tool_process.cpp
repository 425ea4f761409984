// Runs the real tool binary as a child process and collects its outcome.
#include "tool_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace robustness {

namespace {

constexpr uid_t kNobody = 65534;

[[noreturn]] void child(const Launch& launch, int out_fd) {
  dup2(out_fd, STDOUT_FILENO);
  close(out_fd);
  if (chdir(launch.dir.c_str()) != 0) _exit(120);
  if (launch.ignore_sigxfsz) signal(SIGXFSZ, SIG_IGN);
  if (launch.file_size_limit >= 0) {
    const rlimit lim{static_cast<rlim_t>(launch.file_size_limit),
                     static_cast<rlim_t>(launch.file_size_limit)};
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(121);
  }
  if (launch.unprivileged && geteuid() == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(122);
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(quarnel_exe().c_str()));
  for (const std::string& a : launch.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(123);
}

pid_t start(const Launch& launch, int* read_fd) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    child(launch, fds[1]);
  }
  close(fds[1]);
  *read_fd = fds[0];
  return pid;
}

Outcome finish(pid_t pid, int read_fd) {
  Outcome o;
  char buf[4096];
  ssize_t n;
  while ((n = read(read_fd, buf, sizeof buf)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    o.out.append(buf, static_cast<std::size_t>(n));
  }
  close(read_fd);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  o.exited = WIFEXITED(status);
  o.exit_code = o.exited ? WEXITSTATUS(status) : -1;
  o.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return o;
}

}  // namespace

const std::string& quarnel_exe() {
  static const std::string exe = [] {
    const char* env = std::getenv("QUARNEL_EXE");
    if (env == nullptr || *env == '\0') throw std::runtime_error("QUARNEL_EXE is not set");
    return std::string(env);
  }();
  return exe;
}

Outcome run_quarnel(const Launch& launch) {
  int fd = -1;
  const pid_t pid = start(launch, &fd);
  return finish(pid, fd);
}

Outcome run_quarnel_interrupted(const Launch& launch, const std::function<bool()>& when_ready,
                                int sig) {
  int fd = -1;
  const pid_t pid = start(launch, &fd);
  // Polls for at most 60 s; a run that never gets ready is ended all the same.
  for (int waited = 0; waited < 60000 && !when_ready(); ++waited) usleep(1000);
  kill(pid, sig);
  return finish(pid, fd);
}

bool permissions_are_bypassed() { return geteuid() == 0; }
uid_t unprivileged_uid() { return kNobody; }
gid_t unprivileged_gid() { return kNobody; }

std::vector<std::string> temporaries(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& n : names) {
    if (n.rfind(".quarnel-", 0) == 0) out.push_back(n);
  }
  return out;
}

}  // namespace robustness
