// A command's inputs: how they are opened, and the warning for damaged ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "commands/command_end.h"
#include "commands/commands.h"
#include "commands/run_state.h"

namespace quarnel {

// Opens `path` as the first input and tests its headers into `image`. Returns
// kExitOk, or kExitCannotOpen with the failure noted for end_command, or
// kExitBadHeader, explained on standard error.
// The input stays open in every case but the first failure.
int open_first_input(RunState& rs, const std::string& path, uint8_t* image);

// Opens the link's base and source and tests the base's headers into
// `base_image`. Returns kExitOk, or kExitCannotOpen with a failure noted per
// input that failed (base first), or kExitBadHeader, explained on standard
// error.
int link_open_inputs(RunState& rs, uint8_t* base_image);

// The damaged-input warning on standard error for each input of the run that
// build_catalogue or the source walk found damaged (InputFile::damaged);
// once for an input given twice. The command goes on with what it could read.
void warn_damaged_inputs(const RunState& rs);

}  // namespace quarnel
