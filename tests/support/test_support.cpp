// Captured standard output and command runs for the tests.
#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace afdtest {

CapturedStdout::CapturedStdout(int which) : fd_(which) {
  std::fflush(stdout);
  std::fflush(stderr);
  char name[] = "/tmp/quarnel-stdout-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("cannot redirect the output");
  path_ = name;
  saved_fd_ = dup(fd_);
  dup2(fd, fd_);
  close(fd);
}

CapturedStdout::~CapturedStdout() { text(); }

std::string CapturedStdout::text() {
  if (!done_) {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_fd_, fd_);
    close(saved_fd_);
    std::ifstream in(path_, std::ios::binary);
    text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    unlink(path_.c_str());
    done_ = true;
  }
  return text_;
}

InFolder::InFolder(const std::string& folder)
    : previous_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (previous_ < 0 || chdir(folder.c_str()) != 0)
    throw std::runtime_error("cannot enter " + folder);
}

InFolder::~InFolder() {
  // A test cannot go on from a folder it did not mean to be in.
  if (fchdir(previous_) != 0) std::abort();
  close(previous_);
}

int run_in(const std::string& dir, const std::string& command, std::string* out, std::string* err) {
  char name[] = "/tmp/quarnel-stderr-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  const std::string line =
      "cd '" + dir + "' && " + command + (err != nullptr ? " 2>'" + std::string(name) + "'" : "");
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  out->clear();
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out->append(buf, n);
  const int status = pclose(pipe);
  if (err != nullptr) {
    std::ifstream in(name, std::ios::binary);
    err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  unlink(name);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace afdtest
