#include "commands/inputs.h"

#include "commands/exit_codes.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// Drops the output, since an input it copies from failed, and says which.
bool report_failed_input(RunState& rs) {
  const std::string* input = failed_input(rs);
  if (input == nullptr) return false;
  rs.output.abandon();
  std::printf("cannot read:\"%s\"\n", input->c_str());
  return true;
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
    return kExitCannotOpen;
  }
  return read_headers(rs.first_input, image) ? kExitOk : kExitBadHeader;
}

int link_open_inputs(RunState& rs, uint8_t* base_image) {
  const bool base_ok = rs.first_input.open(rs.first_input_path);
  const bool source_ok = rs.second_input.open(rs.second_input_path);
  if (!base_ok) std::printf("cannot open:\"%s\"\n", rs.first_input_path.c_str());
  if (!source_ok) std::printf("cannot open:\"%s\"\n", rs.second_input_path.c_str());
  if (!base_ok || !source_ok) return kExitCannotOpen;
  if (!read_headers(rs.first_input, base_image)) return kExitBadHeader;
  return kExitOk;
}

InputFailureRule input_failure_rule(Command command) {
  switch (command) {
    case Command::kExtract:
    case Command::kLink:
    case Command::kMerge:
      return InputFailureRule::kDropOutput;
    case Command::kStatistics:
      return InputFailureRule::kWithholdReport;
    default:
      return InputFailureRule::kShowWhatWasRead;
  }
}

const std::string* failed_input(const RunState& rs) {
  if (rs.unreadable_input != nullptr) return rs.unreadable_input;
  if (rs.first_input.read_failed()) return &rs.first_input.path();
  if (rs.second_input.read_failed()) return &rs.second_input.path();
  return nullptr;
}

int end_command(RunState& rs, Command command, int result) {
  if (result == kExitCannotOpen) return result;
  switch (input_failure_rule(command)) {
    case InputFailureRule::kDropOutput:
      // The scan saw complete records; an input that could not be read since,
      // or not read whole before, cannot be copied.
      if (report_failed_input(rs)) return kExitCannotOpen;
      return result == kExitOk ? commit_output(rs) : result;
    case InputFailureRule::kWithholdReport:
      return failed_input(rs) != nullptr ? kExitCannotOpen : result;
    case InputFailureRule::kShowWhatWasRead:
      return result;
  }
  return result;
}

}  // namespace quarnel
