// Captured standard output and command runs for the tests.
#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace afdtest {

CapturedStdout::CapturedStdout(int which) : fd_(which) {
  std::fflush(stdout);
  std::fflush(stderr);
  char name[] = "/tmp/quarnel-stdout-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
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

SilencedStdout::SilencedStdout() {
  std::fflush(stdout);
  saved_fd_ = dup(1);
  const int null_fd = open("/dev/null", O_WRONLY);
  dup2(null_fd, 1);
  close(null_fd);
}

SilencedStdout::~SilencedStdout() {
  std::fflush(stdout);
  dup2(saved_fd_, 1);
  close(saved_fd_);
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

int run_in(const std::string& dir, const std::string& command, std::string* out) {
  const std::string line = "cd '" + dir + "' && " + command;
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = pclose(pipe);
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run_in(const std::string& dir, const std::string& command, std::string* out, std::string* err) {
  char name[] = "/tmp/quarnel-stderr-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  close(fd);
  const int rc = run_in(dir, command + " 2>'" + name + "'", out);
  std::ifstream in(name, std::ios::binary);
  err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  unlink(name);
  return rc;
}

}  // namespace afdtest
