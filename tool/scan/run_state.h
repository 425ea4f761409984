// Everything one run of the tool works on. `main` creates one RunState; every
// procedure receives it. The big blocks are allocated once, at start, and
// nothing is allocated while a command runs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "format/afd_format.h"
#include "format/coverage.h"
#include "io/files.h"

namespace quarnel {

class ScanObserver;

enum class Origin : uint16_t { kNone = 0, kFirstInput = 1, kSecondInput = 2 };

struct CatalogueEntry {
  int32_t kind = 0;       // 1..3 facility subtype, or a record type of the name lists
  int32_t name_kind = 0;  // NameEntry level; 0 for every other kind
  uint32_t base_offset = 0;
  uint32_t source_offset = 0;
  uint32_t output_offset = 0;
  uint32_t facility_offset = 0;
  // The whole bytes, head included, of the record the entry is copied from,
  // as last seen: the base record's from the scan, the source record's once
  // the source walk marks the entry; 0 when not known. A copy of a known size
  // is read in one piece, not head first.
  uint32_t record_size = 0;
  uint16_t flags = 0;
  uint16_t origin = 0;
  // Null when the name did not fit into NamePool: such a name never matches.
  const char* name = nullptr;
};

// 40 bytes on 64-bit systems keep the Catalogue and the lookup indexes on one
// huge page (see RunState::allocate).
static_assert(sizeof(CatalogueEntry) <= 40, "a Catalogue entry stays within 40 bytes");

constexpr uint16_t kFlagAiAirport = 1;

inline bool is_selected(const CatalogueEntry& e) { return (e.origin & 0xF) != 0; }
inline bool is_facility(const CatalogueEntry& e) {
  return e.kind >= kSubtypeAirport && e.kind <= kSubtypeNdb;
}

struct ScanStatistics {
  int containers = 0;
  int name_lists = 0;
  int names = 0;
  int64_t max_strlen = 0;
  int64_t max_cont_size = 0;
  int airports = 0;
  int ai_airports = 0;
  int vors = 0;
  int ndbs = 0;
};

// The command-line names of the extract command. A slot may hold null for a
// name too long for NamePool; it selects nothing but does not end the table.
struct NameTable {
  std::array<const char*, kNameTableSlots> slots{};
  std::size_t count = 0;
};

// The run's blocks are carved from one allocation, the arena (allocate()),
// and go with it: a block itself is never released.
struct KeptByArena {
  template <typename T>
  void operator()(T*) const noexcept {}
};
template <typename T>
using Block = std::unique_ptr<T[], KeptByArena>;

struct ArenaRelease {
  std::size_t size = 0;
  void operator()(uint8_t* arena) const noexcept;
};

// The Catalogue's lookup indexes (lookup.cpp), in blocks allocated with it.
struct CatalogueLookups {
  Block<uint32_t> name_slots;    // hash bits | (index + 1); 0 is free
  std::size_t name_mask = 0;     // slots in use - 1
  std::size_t named = 0;         // leading entries the name table holds
  Block<uint64_t> offset_slots;  // base_offset << 32 | (index + 1); 0 is free
  std::size_t offset_mask = 0;   // slots in use - 1
  bool keyed = false;            // offset_slots describe the facility entries
  std::size_t leading_run = 0;   // entries at the start of the first one's kind
  std::size_t indexed = 0;       // the Catalogue count they describe
  bool ready = false;
};

struct RunState {
  // Allocates the arena, unless it is there already, carves the work buffers,
  // the lookup indexes and the file buffers from it, and lends the file
  // buffers to the files. False when the allocation failed.
  bool allocate();
  // Returns everything to its start value but keeps the buffers, so one
  // allocation can serve many runs in a test or fuzzing loop.
  void reset();

  // First, so that it outlives every block and every file that uses one.
  std::unique_ptr<uint8_t, ArenaRelease> arena;

  Block<uint8_t> object_buffer;
  Block<CatalogueEntry> catalogue;
  std::size_t catalogue_count = 0;
  Block<char> name_pool;
  std::size_t name_pool_size = 0;
  std::size_t name_pool_fill = 0;
  CatalogueLookups lookups;
  // The two input windows and the output buffer, lent to the files below.
  Block<uint8_t> file_buffers;
  // The second input's block cache.
  Block<uint8_t> source_blocks;

  ScanStatistics stats;
  CoverageBox airport_box = kEmptyBox;
  CoverageBox ai_airport_box = kEmptyBox;
  int32_t trailer_word = -1;
  // The input that no longer held a record the scan had found, if any.
  const std::string* unreadable_input = nullptr;
  // Told about every record and walk end of the scans when set (see
  // scan_observer.h); the scan's own lines are then left to it.
  ScanObserver* scan_observer = nullptr;
  std::array<uint8_t, kHeaderImageSize> header_image{};

  InputFile first_input;
  InputFile second_input;
  OutputFile output;

  std::string first_input_path;
  std::string second_input_path;
  std::string output_path;
  NameTable name_table;
};

}  // namespace quarnel
