// The tool's commands and its entry point. Each command returns its ExitCode.
#pragma once

#include <string>

#include "run_state.h"

namespace quarnel {

enum class Command { kNone = 0, kStatistics = 1, kExtract = 2, kLink = 3 };

Command parse_command(int argc, const char* const* argv);

int run_statistics(RunState& rs, const std::string& path);
int run_extract(RunState& rs, const std::string& path, const NameTable& table);
int run_link(RunState& rs);

// The whole program after the work buffers exist: banner, dispatch, messages.
int run(RunState& rs, int argc, const char* const* argv);

}  // namespace quarnel
