// The extract command's rebuilding of one name list: of the list that starts
// at a head entry, the entries that file a selected facility, each with every
// ancestor entry above it, copied in the input's order, with the trace lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands/run_state.h"
#include "scan/catalogue.h"

namespace quarnel {

// The deepest a list nests: six levels below its head.
constexpr int kMaxDepth = 6;

struct LevelSlot {
  bool written = false;
  int32_t level = 0;
  CatalogueEntry* entry = nullptr;
};

struct NameListResult {
  int32_t next_index = 0;
  int32_t names_written = 0;
  int64_t bytes_written = 0;
  bool overflow = false;  // the list nested deeper than the level stack holds
};

// Writes what the list whose head is the Catalogue's entry `start` needs kept,
// and its end mark when anything was written.
NameListResult write_name_list(RunState& rs, std::size_t start);

}  // namespace quarnel
