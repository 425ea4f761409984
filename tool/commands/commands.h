// The tool's commands and its entry point. Each command returns its ExitCode.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "commands/run_state.h"

namespace quarnel {

enum class Command {
  kNone = 0,
  kStatistics = 1,
  kExtract = 2,
  kLink = 3,
  kList = 4,
  kListJson = 5,
  kCheck = 6,
  kPreview = 7,
  kHelp = 8,     // exactly "--help"
  kVersion = 9,  // exactly "--version"
  kBuild = 10,
  kMerge = 11,
  kIndex = 12,
};

Command parse_command(int argc, const char* const* argv);

int run_statistics(RunState& rs, const std::string& path);
int run_extract(RunState& rs, const std::string& path, const NameTable& table);
int run_link(RunState& rs);
// Reads the three paths as the link does.
int run_merge(RunState& rs);
// Merges `sources` (files, and folders that stand for the AFD files under
// them), in order, into the base at first_input_path; writes output_path.
int run_merge_batch(RunState& rs, const std::vector<std::string>& sources);

// The commands that only look: they never write a file.
int run_list(RunState& rs, const std::string& path);
// `out` holds the JSON document alone; messages go to standard error.
int run_list_json(RunState& rs, const std::string& path, std::FILE* out);
int run_check(RunState& rs, const std::string& path);
// Lists the AFD files under `folder` and the airport names more than one holds.
int run_index(RunState& rs, const std::string& folder);
// Reads the two input paths as the link does.
int run_preview(RunState& rs);

// Builds the file that the JSON description at `description` ("-": standard
// input) stands for into rs.output_path.
int run_build(RunState& rs, const std::string& description);

// The whole program after the work buffers exist: banner, dispatch, messages.
int run(RunState& rs, int argc, const char* const* argv);

}  // namespace quarnel
