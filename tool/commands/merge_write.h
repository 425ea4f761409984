// Writing the merged file: the result the plan holds, each record copied from
// the input it was last taken from, one at a time, as the link writes.
#pragma once

#include "commands/merge_plan.h"
#include "commands/run_state.h"
#include "io/files.h"

namespace quarnel {

// Where the sources' records are read while the result is written.
class SourceInputs {
 public:
  virtual ~SourceInputs() = default;
  // The open file of source `number` (1 for the first), or null, noted as
  // unreadable, when it can no longer be opened.
  virtual InputFile* open(InputNumber number) = 0;
};

// Writes the result of every source planned and settled into the output,
// created already. Returns kExitOk; a record that could not be read notes its
// input unreadable, and end_command then drops the output.
int write_merged_file(RunState& rs, const MergePlan& plan, SourceInputs& sources);

}  // namespace quarnel
