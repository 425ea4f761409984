// The merge's report on standard output: a line for each source facility that
// says what became of it, then the counts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "commands/merge_plan.h"
#include "commands/run_state.h"

namespace quarnel {

// The report's lines, gathered into blocks: a merge of a large source prints
// thousands of them.
class ReportLines {
 public:
  ReportLines() = default;
  ReportLines(const ReportLines&) = delete;
  ReportLines& operator=(const ReportLines&) = delete;
  ~ReportLines() { flush(); }

  // One line, `what` NAME `tail`.
  void line(std::string_view what, std::string_view name, std::string_view tail) {
    text(what);
    this->name(name);
    text(tail);
  }
  // A name, shown as the other commands show names; it goes out as it is
  // where it needs no escapes.
  void name(std::string_view name);
  void text(std::string_view text);
  void flush();

 private:
  char block_[4096];
  std::size_t used_ = 0;
};

struct ReportCounts {
  int replaced = 0;
  int added = 0;
  int left_out = 0;
  int conflicts = 0;  // facilities an earlier source took that a later one replaces
};

// Writes the line of every facility of the source just planned and counts
// them. `sources`, in a run of several, names them in order: a facility that
// an earlier one replaced or added and this one replaces is noted as a
// conflict; null in a merge of one source.
void report_source(RunState& rs, const MergePlan& plan, ReportLines& out, ReportCounts* counts,
                   const std::vector<std::string>* sources);

// The line on standard output of a merge that outgrew the plan's limit
// (ExitCode 10), naming that limit.
void explain_merge_limit(const MergePlan& plan);

}  // namespace quarnel
