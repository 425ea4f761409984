// Scratch folders and captured standard output for tests that run commands.
#pragma once

#include <string>
#include <vector>

namespace afdtest {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

// Redirects the process's standard output (file descriptor 1) into a buffer
// between construction and text().
class CapturedStdout {
 public:
  CapturedStdout();
  ~CapturedStdout();
  CapturedStdout(const CapturedStdout&) = delete;
  CapturedStdout& operator=(const CapturedStdout&) = delete;

  // Stops capturing (once) and returns everything written meanwhile.
  std::string text();

 private:
  int saved_fd_ = -1;
  std::string path_;
  std::string text_;
  bool done_ = false;
};

// Sends the process's standard output to the null device while it exists.
class SilencedStdout {
 public:
  SilencedStdout();
  ~SilencedStdout();
  SilencedStdout(const SilencedStdout&) = delete;
  SilencedStdout& operator=(const SilencedStdout&) = delete;

 private:
  int saved_fd_ = -1;
};

// Runs a command line through the shell in `dir`; returns its exit status and
// fills `out` with its standard output.
int run_in(const std::string& dir, const std::string& command, std::string* out);
// The same, and fills `err` with its standard error.
int run_in(const std::string& dir, const std::string& command, std::string* out, std::string* err);

}  // namespace afdtest
