// The build command (-B): the AFD file that a JSON description stands for,
// written the way every output is. Nothing is written for a description that
// is not valid: the line after the banner says where and why.
#include <cstdio>
#include <ctime>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "document/builder.h"
#include "document/description.h"
#include "io/platform.h"
#include "commands/inputs.h"

namespace quarnel {

namespace {

int cannot_write(RunState& rs) {
  rs.output.abandon();
  std::printf("cannot write:\"%s\"\n", rs.output_path.c_str());
  return kExitCannotWrite;
}

int build_from(RunState& rs, std::FILE* in, const std::string& description) {
  if (!rs.output.create(rs.output_path)) return cannot_write(rs);
  FileBuilder builder(rs, std::time(nullptr));
  if (!builder.begin()) return cannot_write(rs);
  std::string message;
  switch (read_description(in, builder, &message)) {
    case ReadOutcome::kUnreadable:
      rs.output.abandon();
      std::printf("cannot read:\"%s\"\n", description.c_str());
      return kExitCannotOpen;
    case ReadOutcome::kInvalid:
      rs.output.abandon();
      std::printf("invalid description: %s\n", message.c_str());
      return kExitInvalidDescription;
    case ReadOutcome::kUnwritable:
      return cannot_write(rs);
    case ReadOutcome::kDone:
      break;
  }
  switch (builder.write(&message)) {
    case FileBuilder::Outcome::kInvalid:
      rs.output.abandon();
      std::printf("invalid description: %s\n", message.c_str());
      return kExitInvalidDescription;
    case FileBuilder::Outcome::kCannotWrite:
      return cannot_write(rs);
    case FileBuilder::Outcome::kBuilt:
      break;
  }
  return end_command(rs, Command::kBuild, kExitOk);
}

}  // namespace

int run_build(RunState& rs, const std::string& description) {
  const bool from_stdin = description == "-";
  std::FILE* in =
      from_stdin ? platform::binary_standard_input() : platform::open_input(description);
  if (in == nullptr) {
    std::printf("cannot open:\"%s\"\n", description.c_str());
    return kExitCannotOpen;
  }
  const int result = build_from(rs, in, description);
  if (!from_stdin) std::fclose(in);
  return result;
}

}  // namespace quarnel
