#include "commands/inputs.h"

#include "commands/exit_codes.h"
#include "io/explain.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

void explain_unread(const std::string& input) {
  explain("cannot read %s whole: a read error, or it changed while it was read", input.c_str());
}

int commit_output(RunState& rs) {
  rs.first_input.close();
  rs.second_input.close();
  if (rs.output.size() > UINT32_MAX || !rs.output.commit()) {
    rs.output.abandon();
    std::printf("cannot write:\"%s\"\n", rs.output_path.c_str());
    return kExitCannotWrite;
  }
  return kExitOk;
}

}  // namespace

int open_first_input(RunState& rs, const std::string& path, uint8_t* image, std::FILE* messages) {
  if (!rs.first_input.open(path)) {
    std::fprintf(messages, "cannot open:\"%s\"\n", path.c_str());
    explain_open_failure(path, rs.first_input.open_error());
    return kExitCannotOpen;
  }
  const HeaderTest headers = test_headers(rs.first_input, image);
  if (headers == HeaderTest::kPassed) return kExitOk;
  // Headers that could not be read are end_command's to explain.
  if (!rs.first_input.read_failed()) explain_bad_headers(rs.first_input, image, headers);
  return kExitBadHeader;
}

int link_open_inputs(RunState& rs, uint8_t* base_image) {
  const bool base_ok = rs.first_input.open(rs.first_input_path);
  const bool source_ok = rs.second_input.open(rs.second_input_path);
  if (!base_ok) std::printf("cannot open:\"%s\"\n", rs.first_input_path.c_str());
  if (!source_ok) std::printf("cannot open:\"%s\"\n", rs.second_input_path.c_str());
  if (!base_ok) explain_open_failure(rs.first_input_path, rs.first_input.open_error());
  if (!source_ok) explain_open_failure(rs.second_input_path, rs.second_input.open_error());
  if (!base_ok || !source_ok) return kExitCannotOpen;
  const HeaderTest headers = test_headers(rs.first_input, base_image);
  if (headers == HeaderTest::kPassed) return kExitOk;
  if (!rs.first_input.read_failed()) explain_bad_headers(rs.first_input, base_image, headers);
  return kExitBadHeader;
}

void warn_damaged_inputs(const RunState& rs) {
  // A walk that a failing read stopped says nothing of the file: the line
  // about the failed read stands for it.
  const bool first = rs.first_input.damaged() && !rs.first_input.read_failed();
  const bool second = rs.second_input.damaged() && !rs.second_input.read_failed();
  if (first) warn_damaged_input(rs.first_input.path());
  if (second && !(first && rs.first_input.path() == rs.second_input.path())) {
    warn_damaged_input(rs.second_input.path());
  }
}

InputFailureRule input_failure_rule(Command command) {
  switch (command) {
    case Command::kExtract:
    case Command::kLink:
    case Command::kBuild:
    case Command::kMerge:
      return InputFailureRule::kDropOutput;
    case Command::kStatistics:
      return InputFailureRule::kWithholdReport;
    default:
      return InputFailureRule::kShowWhatWasRead;
  }
}

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
  if (result == kExitCannotOpen) return result;
  const std::string* failed = failed_input(rs, other);
  switch (input_failure_rule(command)) {
    case InputFailureRule::kDropOutput:
      // The scan saw complete records; an input that could not be read since,
      // or not read whole before, cannot be copied.
      if (failed != nullptr) {
        rs.output.abandon();
        std::printf("cannot read:\"%s\"\n", failed->c_str());
        return kExitCannotOpen;
      }
      return result == kExitOk ? commit_output(rs) : result;
    case InputFailureRule::kWithholdReport:
      if (failed == nullptr) return result;
      explain_unread(*failed);
      return result == kExitOk ? kExitCannotOpen : result;
    case InputFailureRule::kShowWhatWasRead:
      if (failed == nullptr) return result;
      if (result == kExitBadHeader) {
        explain_unread(*failed);
      } else {
        explain(
            "warning: cannot read %s whole (a read error, or it changed while it was read); "
            "what is shown is what could be read",
            failed->c_str());
      }
      return result;
  }
  return result;
}

}  // namespace quarnel
