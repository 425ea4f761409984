// The build command (-B): the AFD file that a JSON description stands for,
// written the way every output is. Nothing is written for a description that
// is not valid: the line after the banner says where and why.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/findings.h"
#include "commands/inputs.h"
#include "document/builder.h"
#include "document/description.h"
#include "io/explain.h"
#include "io/platform.h"
#include "output/layout.h"

namespace quarnel {

namespace {

int cannot_write(RunState& rs, FileFailure what) {
  rs.failures.note(what, rs.output_path);
  return kExitCannotWrite;
}

// The result of the build, for end_command to settle.
int build_from(RunState& rs, std::FILE* in, const std::string& description) {
  if (!rs.output.create(rs.output_path)) return cannot_write(rs, FileFailure::kOutputRefused);
  FileBuilder builder(write_target(rs), rs.output_path, std::time(nullptr));
  if (!builder.begin()) return cannot_write(rs, FileFailure::kCannotWrite);
  // Each build its own file id, unless the document gives one.
  set_file_id(rs.header_image, fresh_file_id_seed());
  std::string message;
  switch (read_description(in, builder, &message)) {
    case ReadOutcome::kUnreadable:
      rs.failures.note(FileFailure::kCannotRead, description);
      return kExitCannotOpen;
    case ReadOutcome::kInvalid:
      std::printf("invalid description: %s\n", message.c_str());
      return kExitInvalidDescription;
    case ReadOutcome::kUnwritable:
      return cannot_write(rs, FileFailure::kCannotWrite);
    case ReadOutcome::kDone:
      break;
  }
  switch (builder.write(&message)) {
    case FileBuilder::Outcome::kInvalid:
      std::printf("invalid description: %s\n", message.c_str());
      return kExitInvalidDescription;
    case FileBuilder::Outcome::kCannotWrite:
      return cannot_write(rs, FileFailure::kCannotWrite);
    case FileBuilder::Outcome::kBuilt:
      break;
  }
  return kExitOk;
}

// A build writes what the document says, sound or not; a file that -V finds
// problems in is said to be one, so that it is not passed on unawares.
void warn_of_problems(RunState& rs) {
  const std::string output = rs.output_path;
  rs.reset();
  FirstProblem found;
  // The file stands whole by now: a check that runs out of memory only costs
  // the warning, and must not report the build as failed.
  try {
    if (!check_quietly(rs, output, found) || found.problems == 0) return;
  } catch (const std::bad_alloc&) {
    return;
  }
  const char* out = output.c_str();
  const std::string first = finding_line(found.first);
  if (found.problems == 1) {
    explain("warning: %s has 1 problem: %s; \"quarnel -V %s\" shows it", out, first.c_str(), out);
  } else {
    explain("warning: %s has %d problems; the first: %s; \"quarnel -V %s\" lists them", out,
            found.problems, first.c_str(), out);
  }
}

}  // namespace

int run_build(RunState& rs, const std::string& description) {
  const bool from_stdin = description == "-";
  std::FILE* in =
      from_stdin ? platform::binary_standard_input() : platform::open_input(description);
  if (in == nullptr) {
    rs.failures.note(FileFailure::kCannotOpen, description, errno);
    return end_command(rs, Command::kBuild, kExitCannotOpen);
  }
  // The finished file would replace the description it was built from.
  if (platform::is_same_file(in, rs.output_path)) {
    if (!from_stdin) std::fclose(in);
    explain("cannot write %s: it is the description being read; name another output",
            rs.output_path.c_str());
    return end_command(rs, Command::kBuild, kExitCannotWrite);
  }
  int result = build_from(rs, in, description);
  if (!from_stdin) std::fclose(in);
  result = end_command(rs, Command::kBuild, result);
  if (result == kExitOk) warn_of_problems(rs);
  return result;
}

}  // namespace quarnel
