// Runs one command and prints its wall time and the processor time it used,
// in microseconds: "wall user system". Where the kernel samples processor
// time at its clock ticks, the last two are only good to a few milliseconds.
//
//   timed [--out FILE] command [argument...]
//
// --out sends the command's standard output to FILE (created or emptied);
// without it the output goes to /dev/null. Exits with the command's status.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

long long micros(const timeval& t) { return t.tv_sec * 1000000LL + t.tv_usec; }

long long now_micros() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const char* out = "/dev/null";
  if (argc > 2 && std::strcmp(argv[1], "--out") == 0) {
    out = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: timed [--out FILE] command [argument...]\n");
    return 2;
  }
  const long long start = now_micros();
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    const int fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(127);
    close(fd);
    execvp(argv[first], argv + first);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 2;
  const long long wall = now_micros() - start;
  std::printf("%lld %lld %lld\n", wall, micros(usage.ru_utime), micros(usage.ru_stime));
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
