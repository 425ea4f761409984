// Everything one run of the tool works on. `main` creates one RunState and
// every command receives it; the scan and the writers below take only the
// parts they use (a ScanTarget, a WriteTarget). The big blocks are allocated
// once, at start, and nothing is allocated while a command runs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "format/afd_format.h"
#include "format/coverage.h"
#include "io/arena.h"
#include "io/failures.h"
#include "io/files.h"
#include "output/write_target.h"
#include "scan/catalogue.h"
#include "scan/scan.h"

namespace quarnel {

class ScanObserver;

// Room for a command's plan of its output beyond what the Catalogue holds (the
// merge's name-list tree, source places, report notes and what it keeps of
// each entry from one source to the next): this many bytes per Catalogue slot.
constexpr std::size_t kPlanBytesPerEntry = 100;
constexpr std::size_t kPlanMemorySize = kPlanBytesPerEntry * (kCatalogueCapacity + 1);

struct RunState {
  // Allocates the arena, unless it is there already, carves the work buffers,
  // the lookup indexes and the file buffers from it, and lends the file
  // buffers to the files. False when the allocation failed.
  bool allocate();
  // Returns everything to its start value but keeps the buffers, so one
  // allocation can serve many runs in a test or fuzzing loop.
  void reset();

  // First, so that it outlives every block and every file that uses one.
  Arena arena;

  Block<uint8_t> object_buffer;
  Catalogue catalogue;
  // The two input windows and the output buffer, lent to the files below.
  Block<uint8_t> file_buffers;
  // The second input's block cache.
  Block<uint8_t> source_blocks;
  // kPlanMemorySize bytes, allocated with the arena but apart from it, in
  // ordinary pages: the arena's huge pages are in use by every command, and
  // only the merge writes here, so only a merge pays for the pages it touches.
  std::unique_ptr<uint8_t[]> plan_memory;

  CoverageBox airport_box = kEmptyBox;
  CoverageBox ai_airport_box = kEmptyBox;
  // Told about every record and walk end of the scans when set (see
  // scan_observer.h); the scan's own lines are then left to it.
  ScanObserver* scan_observer = nullptr;
  // When set, the scan keeps each airport's position here, at its Catalogue
  // index (kNoPosition for one without).
  AirportPosition* airport_positions = nullptr;
  HeaderImage header_image{};

  InputFile first_input;
  InputFile second_input;
  OutputFile output;
  // What the command could not open, read or write, told when it ends.
  FailureNotes failures;

  std::string first_input_path;
  std::string second_input_path;
  std::string output_path;
  NameTable name_table;
};

// The scan of the run's first input into its Catalogue and boxes, with the
// run's watcher and positions.
ScanTarget first_input_scan(RunState& rs);

// The run's output, header image and boxes, and the inputs and Catalogue its
// records are copied from.
WriteTarget write_target(RunState& rs);

// build_catalogue of the run's first input.
inline void build_catalogue(RunState& rs, const uint8_t* header_image, const NameTable* table,
                            ScanMode mode) {
  build_catalogue(first_input_scan(rs), header_image, table, mode);
}

}  // namespace quarnel
