// Captured standard output and command runs for the tests; the scratch
// folder they run in is scratch_dir.h's.
#pragma once

#include <string>
#include <vector>

#include "scratch_dir.h"

namespace afdtest {

// The first line of everything the program prints on standard output.
inline const std::string kBanner = "QUARNEL 1.2\n";

// Redirects the process's standard output (file descriptor 1), or another
// descriptor (2: standard error), into a buffer between construction and
// text().
class CapturedStdout {
 public:
  explicit CapturedStdout(int fd = 1);
  ~CapturedStdout();
  CapturedStdout(const CapturedStdout&) = delete;
  CapturedStdout& operator=(const CapturedStdout&) = delete;

  // Stops capturing (once) and returns everything written meanwhile.
  std::string text();

 private:
  int fd_;
  int saved_fd_ = -1;
  std::string path_;
  std::string text_;
  bool done_ = false;
};

// Makes `folder` the current directory while it lives, for the runs that
// write into the current folder, and the previous one current again after.
class InFolder {
 public:
  explicit InFolder(const std::string& folder);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  int previous_;
};

// Runs a command line through the shell in `dir`; returns its exit status and
// fills `out` with its standard output and `err`, when given, with its
// standard error.
int run_in(const std::string& dir, const std::string& command, std::string* out,
           std::string* err = nullptr);

}  // namespace afdtest
