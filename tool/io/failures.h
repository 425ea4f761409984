// What a command could not do with a file, noted where it happens and told
// when the command ends, so that every command tells it by the same rule.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quarnel {

enum class FileFailure {
  kCannotOpen,     // an input or a folder; `error` is the system's errno
  kCannotRead,     // an input that could not be read whole
  kOutputRefused,  // the output path, refused before anything was written
  kCannotWrite,    // the output, while it was written or made final
};

struct NotedFailure {
  FileFailure what;
  std::string path;
  int error = 0;
  // Its reason was told on standard error when it was noted.
  bool explained = false;
};

class FailureNotes {
 public:
  void note(FileFailure what, std::string path, int error = 0, bool explained = false) {
    notes_.push_back(NotedFailure{what, std::move(path), error, explained});
  }
  // Forgets the failures of the output: an input that failed is told instead.
  void drop_output_failures() {
    std::erase_if(notes_, [](const NotedFailure& n) {
      return n.what == FileFailure::kOutputRefused || n.what == FileFailure::kCannotWrite;
    });
  }
  const std::vector<NotedFailure>& all() const { return notes_; }
  void clear() { notes_.clear(); }

 private:
  std::vector<NotedFailure> notes_;
};

}  // namespace quarnel
