// Shared machinery of the fuzz targets: a private folder for the files a run
// reads and writes, a way to run the whole program in-process on a fresh
// RunState, and checks that stop the fuzzer when a promise is broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/run_state.h"
#include "test_support.h"

namespace quarnel::fuzz {

using Bytes = std::vector<uint8_t>;

// The process-wide scratch folder. The first call creates it (mkdtemp), sends
// the tool's standard output to /dev/null (set QUARNEL_FUZZ_STDOUT=1 to see it)
// and removes the folder at exit.
const std::string& scratch();

// Makes the scratch folder the current directory for one input, so relative
// names (and the extract's fixed output name) land there; the fuzzer's own
// relative paths work again once it is gone.
struct InScratch : afdtest::InFolder {
  InScratch() : afdtest::InFolder(scratch()) {}
};

// Writes `n` bytes to `name` in the scratch folder.
void put_file(const std::string& name, const uint8_t* data, std::size_t n);
// The contents of `name`; `exists` tells whether there was such a file.
Bytes get_file(const std::string& name, bool* exists = nullptr);
// The names in the scratch folder, sorted, hidden files included.
std::vector<std::string> folder_listing();
// Removes every file in the scratch folder.
void clear_folder();

// What a run may use, for runs that try out failed allocations: with
// QUARNEL_FUZZ_ADDRESS_LIMIT=1 in the environment (a build without
// sanitizers, which cannot run so), the tool's run, and nothing of the
// harness, is held to the address space the process uses plus `headroom`
// bytes, and its allocation number `failing` (from 1; 0: none) fails. Without
// the variable no limit applies.
struct RunLimits {
  std::size_t headroom = 0;
  long failing = 0;
};

// Runs the arguments after the program's name on the fresh RunState `rs`
// (tests/support's in-process run, which allocates its buffers as main does),
// which the caller can inspect afterwards.
int run_tool(RunState& rs, const std::vector<std::string>& args, const RunLimits* limits = nullptr);

// The JSON listing (-J) of `name`, written to memory; its ExitCode, 1 when it
// ran out of memory. The state is allocated here.
int json_listing(RunState& rs, const std::string& name, std::string* json);

// The statistics command on `name`, in-process; its ExitCode, and the state
// that holds the scan's counters and Catalogue.
int scan_file(RunState& rs, const std::string& name);

// Stops the process with a report when a promise does not hold.
void require(bool holds, const char* what, const std::string& detail = {});

// Requires `name` to hold the `size` bytes at `data` still, and to be the only
// file in the scratch folder.
void require_only_input(const std::string& name, const uint8_t* data, std::size_t size);

// Counts in a scanned Catalogue.
struct CatalogueCounts {
  int facilities_before_lists = 0;  // facility records of the object list
  int heads = 0;
  int name_entries = 0;
};
CatalogueCounts count_catalogue(const RunState& rs);

}  // namespace quarnel::fuzz
