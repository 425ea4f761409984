#include "commands/inputs.h"

#include "commands/command_end.h"
#include "commands/exit_codes.h"
#include "io/explain.h"
#include "scan/scan.h"

namespace quarnel {

int open_first_input(RunState& rs, const std::string& path, uint8_t* image) {
  if (!rs.first_input.open(path)) {
    rs.failures.note(FileFailure::kCannotOpen, path, rs.first_input.open_error());
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
  if (!base_ok) {
    rs.failures.note(FileFailure::kCannotOpen, rs.first_input_path, rs.first_input.open_error());
  }
  if (!source_ok) {
    rs.failures.note(FileFailure::kCannotOpen, rs.second_input_path, rs.second_input.open_error());
  }
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

}  // namespace quarnel
