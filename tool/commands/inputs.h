// A command's inputs: how they are opened, and the one rule for an input that
// could not be read whole (a read error, or a file cut short or changed since
// the scan saw it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "scan/run_state.h"

namespace quarnel {

// Opens `path` as the first input and tests its headers into `image`. Returns
// kExitOk, or kExitCannotOpen after the cannot-open line, or kExitBadHeader;
// either failure is explained on standard error.
// The input stays open in every case but the first failure.
int open_first_input(RunState& rs, const std::string& path, uint8_t* image,
                     std::FILE* messages = stdout);

// Opens the link's base and source and tests the base's headers into
// `base_image`. Returns kExitOk, or kExitCannotOpen after a cannot-open line
// per input that failed (base first), or kExitBadHeader; each failure is
// explained on standard error.
int link_open_inputs(RunState& rs, uint8_t* base_image);

// The damaged-input warning on standard error for each input of the run that
// build_catalogue or the source walk found damaged (InputFile::damaged);
// once for an input given twice. The command goes on
// with what it could read.
void warn_damaged_inputs(const RunState& rs);

// What a command does when an input could not be read whole.
enum class InputFailureRule {
  // -C, -R, -M, -B: the output is dropped, `cannot read:"<path>"` printed, ExitCode 2.
  kDropOutput,
  // -S: no report, whose figures would be wrong; ExitCode 2 (3 stays 3). A
  // line on standard error says why.
  kWithholdReport,
  // -L, -J, -V, -P: their lines stand as they were printed, from the bytes
  // that were read, and the ExitCode is theirs; nothing is written. A
  // warning on standard error says that the input was not read whole.
  kShowWhatWasRead,
};
InputFailureRule input_failure_rule(Command command);

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
// ends with 6 after `cannot write:"<path>"`. A result of 2 stands. `other`
// names a failed input that the run's slots do not hold.
int end_command(RunState& rs, Command command, int result, const OtherFailedInput& other = {});

}  // namespace quarnel
