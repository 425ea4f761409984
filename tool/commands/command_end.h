// How every command ends. A command notes in rs.failures each file it could
// not open, read or write, when it meets it, and ends in end_command(), which
// settles the output and tells the failures by the command's row of one
// table: which lines, on which stream, and what an input that could not be
// read whole does to the result.
#pragma once

#include <cstdint>
#include <string>

#include "commands/commands.h"
#include "commands/run_state.h"

namespace quarnel {

// What a command does when an input could not be read whole.
enum class InputFailureRule {
  // -C, -R, -M, -B: the output is dropped, `cannot read:"<path>"` printed, ExitCode 2.
  kDropOutput,
  // -S: no report, whose figures would be wrong; ExitCode 2 (3 stays 3). A
  // line on standard error says why.
  kWithholdReport,
  // -L, -J, -V, -P, -I: their lines stand as they were printed, from the
  // bytes that were read, and the ExitCode is theirs; nothing is written. A
  // warning on standard error says that the input was not read whole.
  kShowWhatWasRead,
};

// An input outside the run's two slots that a command could not read whole
// (a source of a merge of several), and when (InputFile::unreadable); an order
// of 0 stands behind every input noted unreadable.
struct OtherFailedInput {
  const std::string* path = nullptr;
  uint64_t order = 0;
};

// The input that could not be read whole, or null: the last noted unreadable,
// else the first input and then the second when a read of it failed, else
// `other`.
const std::string* failed_input(const RunState& rs, const OtherFailedInput& other = {});

// The ExitCode of `command`, which reached `result` from what it read, under
// its rule. For a command that writes, kExitOk means its output is complete:
// it is committed here, unless an input failed (2), and a commit that fails
// ends with 6; any other result drops the output. Then the noted failures
// are told: for each a line such as `cannot open:"<path>"` and the reason on
// standard error, and after them, for the commands that look at one file,
// `error processing file:"<path>"` with rs.first_input_path when the result
// says the file could not be used. `other` names a failed input that the
// run's slots do not hold.
int end_command(RunState& rs, Command command, int result, const OtherFailedInput& other = {});

// The warning for an input that could not be read whole, of a command that
// shows what it read.
void warn_partly_read(const std::string& path);

// The warning for an input with structural damage: records cut off, a walk
// over its records that stopped early, or a trailer offset pointing nowhere.
// The command goes on with what it could read and keeps its exit code.
void warn_damaged_input(const std::string& path);

}  // namespace quarnel
