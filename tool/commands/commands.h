// The tool's commands and its entry point. Each command returns its ExitCode.
#pragma once

#include <cstdio>
#include <string>

#include "scan/run_state.h"

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
};

Command parse_command(int argc, const char* const* argv);

int run_statistics(RunState& rs, const std::string& path);
int run_extract(RunState& rs, const std::string& path, const NameTable& table);
int run_link(RunState& rs);
// Reads the three paths as the link does.
int run_merge(RunState& rs);

// The commands that only look: they never write a file.
int run_list(RunState& rs, const std::string& path);
// Standard output holds the JSON document alone; messages go to `messages`.
int run_list_json(RunState& rs, const std::string& path, std::FILE* out, std::FILE* messages);
int run_check(RunState& rs, const std::string& path);
// Reads the two input paths as the link does.
int run_preview(RunState& rs);

// Builds the file that the JSON description at `description` ("-": standard
// input) stands for into rs.output_path.
int run_build(RunState& rs, const std::string& description);

// The whole program after the work buffers exist: banner, dispatch, messages.
int run(RunState& rs, int argc, const char* const* argv);

}  // namespace quarnel
