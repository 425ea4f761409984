#include "commands/command_end.h"

#include <cstdint>
#include <cstdio>

#include "commands/exit_codes.h"
#include "io/explain.h"

namespace quarnel {

namespace {

// When a command that looks at one file says that it could not use it.
enum class ErrorLine { kNever, kUnlessOk, kUnlessOkOrProblems };

struct EndRule {
  Command command;
  InputFailureRule unread;
  // Standard output carries the JSON document alone, so the lines go to standard error.
  bool lines_on_stderr;
  ErrorLine error_line;
  // A refused output is told by a line as well as explained.
  bool refused_output_line;
};

constexpr EndRule kEndRules[] = {
    {Command::kStatistics, InputFailureRule::kWithholdReport, false, ErrorLine::kUnlessOk, false},
    {Command::kExtract, InputFailureRule::kDropOutput, false, ErrorLine::kNever, false},
    {Command::kLink, InputFailureRule::kDropOutput, false, ErrorLine::kNever, false},
    {Command::kList, InputFailureRule::kShowWhatWasRead, false, ErrorLine::kUnlessOkOrProblems,
     false},
    {Command::kListJson, InputFailureRule::kShowWhatWasRead, true, ErrorLine::kUnlessOk, false},
    {Command::kCheck, InputFailureRule::kShowWhatWasRead, false, ErrorLine::kUnlessOkOrProblems,
     false},
    {Command::kPreview, InputFailureRule::kShowWhatWasRead, false, ErrorLine::kNever, false},
    {Command::kMerge, InputFailureRule::kDropOutput, false, ErrorLine::kNever, false},
    {Command::kIndex, InputFailureRule::kShowWhatWasRead, false, ErrorLine::kNever, false},
    {Command::kBuild, InputFailureRule::kDropOutput, false, ErrorLine::kNever, true},
};

constexpr EndRule kLookingRule = {Command::kNone, InputFailureRule::kShowWhatWasRead, false,
                                  ErrorLine::kNever, false};

const EndRule& rule_of(Command command) {
  for (const EndRule& rule : kEndRules) {
    if (rule.command == command) return rule;
  }
  return kLookingRule;
}

// The word of each failure's line, `<word>:"<path>"`.
const char* failure_word(FileFailure what) {
  switch (what) {
    case FileFailure::kCannotOpen:
      return "cannot open";
    case FileFailure::kCannotRead:
      return "cannot read";
    case FileFailure::kOutputRefused:
    case FileFailure::kCannotWrite:
      break;
  }
  return "cannot write";
}

// Why, on standard error. A read or write that failed midway has no more to
// say than its line; where the line is not printed, the reason says it all.
void explain_failure(const RunState& rs, const NotedFailure& n) {
  if (n.explained) return;
  if (n.what == FileFailure::kCannotOpen) explain_open_failure(n.path, n.error);
  if (n.what == FileFailure::kOutputRefused) explain_output_refused(n.path, rs.output);
}

void tell_failures(const RunState& rs, const EndRule& rule) {
  std::FILE* lines = rule.lines_on_stderr ? stderr : stdout;
  for (const NotedFailure& n : rs.failures.all()) {
    if (n.what != FileFailure::kOutputRefused || rule.refused_output_line) {
      std::fprintf(lines, "%s:\"%s\"\n", failure_word(n.what), n.path.c_str());
    }
    explain_failure(rs, n);
  }
}

bool error_line_due(ErrorLine when, int result) {
  switch (when) {
    case ErrorLine::kNever:
      return false;
    case ErrorLine::kUnlessOk:
      return result != kExitOk;
    case ErrorLine::kUnlessOkOrProblems:
      return result != kExitOk && result != kExitProblemsFound;
  }
  return false;
}

void explain_unread(const std::string& input) {
  explain("cannot read %s whole: a read error, or it changed while it was read", input.c_str());
}

int commit_output(RunState& rs) {
  rs.first_input.close();
  rs.second_input.close();
  if (rs.output.size() > UINT32_MAX || !rs.output.commit()) {
    rs.output.abandon();
    rs.failures.note(FileFailure::kCannotWrite, rs.output_path);
    return kExitCannotWrite;
  }
  return kExitOk;
}

// The result under the rule for an input that could not be read whole.
int settle(RunState& rs, InputFailureRule rule, int result, const OtherFailedInput& other) {
  if (result == kExitCannotOpen) return result;
  const std::string* failed = failed_input(rs, other);
  switch (rule) {
    case InputFailureRule::kDropOutput:
      // The scan saw complete records; an input that could not be read since,
      // or not read whole before, cannot be copied, and that is what is told.
      if (failed != nullptr) {
        rs.output.abandon();
        rs.failures.drop_output_failures();
        rs.failures.note(FileFailure::kCannotRead, *failed);
        return kExitCannotOpen;
      }
      if (result == kExitOk) return commit_output(rs);
      rs.output.abandon();
      return result;
    case InputFailureRule::kWithholdReport:
      if (failed == nullptr) return result;
      explain_unread(*failed);
      return result == kExitOk ? kExitCannotOpen : result;
    case InputFailureRule::kShowWhatWasRead:
      if (failed == nullptr) return result;
      if (result == kExitBadHeader) {
        explain_unread(*failed);
      } else {
        warn_partly_read(*failed);
      }
      return result;
  }
  return result;
}

}  // namespace

const std::string* failed_input(const RunState& rs, const OtherFailedInput& other) {
  const std::string* latest = nullptr;
  uint64_t when = 0;
  const auto consider = [&](const std::string* path, uint64_t order) {
    if (order > when) {
      latest = path;
      when = order;
    }
  };
  consider(&rs.first_input.path(), rs.first_input.unreadable());
  consider(&rs.second_input.path(), rs.second_input.unreadable());
  consider(other.path, other.order);
  if (latest != nullptr) return latest;
  if (other.path != nullptr) return other.path;
  if (rs.first_input.read_failed()) return &rs.first_input.path();
  if (rs.second_input.read_failed()) return &rs.second_input.path();
  return nullptr;
}

int end_command(RunState& rs, Command command, int result, const OtherFailedInput& other) {
  const EndRule& rule = rule_of(command);
  result = settle(rs, rule.unread, result, other);
  tell_failures(rs, rule);
  rs.failures.clear();
  if (error_line_due(rule.error_line, result)) {
    std::fprintf(rule.lines_on_stderr ? stderr : stdout, "error processing file:\"%s\"\n",
                 rs.first_input_path.c_str());
  }
  return result;
}

void warn_partly_read(const std::string& path) {
  explain(
      "warning: cannot read %s whole (a read error, or it changed while it was read); "
      "what is shown is what could be read",
      path.c_str());
}

void warn_damaged_input(const std::string& path) {
  const char* p = path.c_str();
  explain("warning: %s has problems that \"quarnel -V %s\" lists; only what could be read is used",
          p, p);
}

}  // namespace quarnel
