// The sources of a merge of several, and the files an index lists: files
// named one by one, and folders that stand for every AFD file under them.
#pragma once

#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/run_state.h"

namespace quarnel {

struct SourceList {
  std::vector<std::string> files;    // in merge order
  std::vector<std::string> folders;  // the folders among the paths given
  // The most sources a run takes, when more were given; 0 otherwise.
  std::size_t over_limit = 0;
};

// Gathers the sources `given`, in order: a file as it is, a folder as every
// file under it, in byte order of their paths. Each is opened, as the second
// input, and its headers tested: a file named one by one must pass; a file of
// a folder that fails is skipped, with a line on standard error. Returns
// kExitOk; kExitCannotOpen when a file or folder cannot be read (noted for
// end_command, and explained at once, in order among the files skipped);
// kExitBadHeader when a file named one by one is not an AFD file;
// kExitTooManyRecords beyond `most` files.
int gather_sources(RunState& rs, const std::vector<std::string>& given, std::size_t most,
                   SourceList* list);

// Ends `command` after gather_sources failed with `result`: end_command's
// lines, then the line of a run given too many sources.
int end_gathering(RunState& rs, Command command, int result, const SourceList& list);

}  // namespace quarnel
