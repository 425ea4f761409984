#include "commands/source_list.h"

#include <cstdio>

#include "commands/command_end.h"
#include "commands/exit_codes.h"
#include "io/explain.h"
#include "io/folders.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// A failure to read ends a run with 2, before a file that is not an AFD file
// (3): as with the link's inputs, the first is told first.
int worse(int a, int b) {
  if (a == kExitCannotOpen || b == kExitCannotOpen) return kExitCannotOpen;
  return a != kExitOk ? a : b;
}

class Gatherer {
 public:
  Gatherer(RunState& rs, std::size_t most, SourceList* list)
      : in_(rs.second_input), failures_(rs.failures), most_(most), list_(list) {}

  int result() const { return result_; }
  // More sources than a run takes; the rest are not looked at.
  bool overfull() const { return list_->files.size() > most_; }

  void take_folder(const std::string& folder) {
    list_->folders.push_back(folder);
    std::vector<FolderFile> files;
    std::string unread;
    int error = 0;
    if (!list_files_under(folder, &files, &unread, &error)) {
      cannot_open(unread, error);
      return;
    }
    for (const FolderFile& f : files) {
      if (overfull()) return;
      if (f.kind == FolderFile::kRegular) {
        take_file(f.path, false);
      } else if (f.kind == FolderFile::kLinkedFolder) {
        explain("skipped %s: a link to a folder, which is not followed", f.path.c_str());
      } else {
        explain("skipped %s: not an AFD file (not a regular file)", f.path.c_str());
      }
    }
  }

  // A file named one by one must be an AFD file; one of a folder may not be,
  // and is skipped.
  void take_file(const std::string& path, bool named) {
    if (!in_.open(path)) {
      cannot_open(path, in_.open_error());
      return;
    }
    uint8_t image[kHeaderImageSize];
    const HeaderTest headers = test_headers(in_, image);
    if (in_.read_failed()) {
      failures_.note(FileFailure::kCannotRead, path);
      result_ = worse(result_, kExitCannotOpen);
    } else if (headers == HeaderTest::kPassed) {
      list_->files.push_back(path);
    } else if (named) {
      explain_bad_headers(in_, image, headers);
      result_ = worse(result_, kExitBadHeader);
    } else {
      explain("skipped %s: not an AFD file (%s)", path.c_str(),
              bad_headers_reason(in_, image, headers).c_str());
    }
    in_.close();
  }

 private:
  // The gathering goes on with the next path, so the reason stands at once
  // among the lines of the files it skips; the line waits for the end.
  void cannot_open(const std::string& path, int error) {
    explain_open_failure(path, error);
    failures_.note(FileFailure::kCannotOpen, path, error, true);
    result_ = worse(result_, kExitCannotOpen);
  }

  InputFile& in_;
  FailureNotes& failures_;
  std::size_t most_;
  SourceList* list_;
  int result_ = kExitOk;
};

}  // namespace

int gather_sources(RunState& rs, const std::vector<std::string>& given, std::size_t most,
                   SourceList* list) {
  Gatherer gatherer(rs, most, list);
  for (const std::string& path : given) {
    if (is_folder(path)) {
      gatherer.take_folder(path);
    } else {
      gatherer.take_file(path, true);
    }
    if (gatherer.overfull()) {
      list->over_limit = most;
      return kExitTooManyRecords;
    }
  }
  return gatherer.result();
}

int end_gathering(RunState& rs, Command command, int result, const SourceList& list) {
  result = end_command(rs, command, result);
  if (list.over_limit > 0) {
    std::printf("too many sources: more than %u in one run\n",
                static_cast<unsigned>(list.over_limit));
  }
  return result;
}

}  // namespace quarnel
