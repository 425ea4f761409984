// The Catalogue: one entry per facility record, name-list head and name entry
// of the scanned file, in file order, with the names kept in NamePool, the
// statistics counted while it was filled, and the indexes of its lookups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/afd_format.h"
#include "io/arena.h"

namespace quarnel {

// Which input a record is copied from when an output is written.
enum class Origin : uint16_t {
  kNone = 0,  // not selected: not copied
  kFirstInput = 1,
  kSecondInput = 2,
};

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
  Origin origin = Origin::kNone;
  // Null when the name did not fit into NamePool: such a name never matches.
  const char* name = nullptr;
};

// 40 bytes on 64-bit systems keep the Catalogue and the lookup indexes on one
// huge page (the run allocates them together, once).
static_assert(sizeof(CatalogueEntry) <= 40, "a Catalogue entry stays within 40 bytes");

constexpr uint16_t kFlagAiAirport = 1;

inline bool is_selected(const CatalogueEntry& e) { return e.origin != Origin::kNone; }
inline bool is_facility(const CatalogueEntry& e) { return is_facility_subtype(e.kind); }
inline bool is_list_head(const CatalogueEntry& e) {
  return e.kind == static_cast<int32_t>(kTypeNameListHead);
}
inline bool is_name_entry(const CatalogueEntry& e) {
  return e.kind == static_cast<int32_t>(kTypeNameEntry);
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

// The indexes behind the Catalogue's lookups (lookup.h), in blocks allocated
// with it.
struct CatalogueLookups {
  Block<uint32_t> name_slots;    // hash bits | (index + 1); 0 is free
  std::size_t name_mask = 0;     // slots in use - 1
  std::size_t named = 0;         // leading entries the name table holds
  Block<uint64_t> offset_slots;  // base_offset << 32 | (index + 1); 0 is free
  std::size_t offset_mask = 0;   // slots in use - 1
  bool keyed = false;            // offset_slots describe the facility entries
  std::size_t leading_run = 0;   // entries at the start of the first one's kind
  std::size_t facility_run = 0;  // entries at the start that are facilities
  std::size_t indexed = 0;       // the Catalogue count they describe
  bool ready = false;
};

struct Catalogue {
  CatalogueEntry& operator[](std::size_t i) { return entries[i]; }
  const CatalogueEntry& operator[](std::size_t i) const { return entries[i]; }

  Block<CatalogueEntry> entries;  // kCatalogueCapacity of them
  std::size_t count = 0;
  Block<char> name_pool;
  std::size_t name_pool_size = 0;
  std::size_t name_pool_fill = 0;
  ScanStatistics stats;
  CatalogueLookups lookups;
};

// Copies `text` into NamePool. Returns null, changing nothing, when it does not
// fit; the pool's last byte is never used. `counted` names take part in the
// longest-name statistic, also when they do not fit.
const char* add_name(Catalogue& catalogue, std::string_view text, bool counted);

bool is_name_selected(const char* name, const NameTable* table);

int count_selected(const Catalogue& catalogue);

}  // namespace quarnel
