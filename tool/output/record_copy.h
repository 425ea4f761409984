// Records copied into the output by their catalogued offsets, from the input
// an Origin names, and the end marks between lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/catalogue.h"
#include "scan/run_state.h"

namespace quarnel {

// Reads the record of `entry` from the input `from` names into ObjectBuffer,
// at most as much of it as the buffer holds; nothing for Origin::kNone.
std::size_t read_object(RunState& rs, const CatalogueEntry& entry, Origin from);
std::size_t write_object(RunState& rs, CatalogueEntry& entry, std::size_t n);
std::size_t read_name_list_head(RunState& rs, const CatalogueEntry& entry);
std::size_t write_name_list_head(RunState& rs);
std::size_t write_end_mark(RunState& rs);

// Copies the whole record of `entry` from the input `from` names to the
// output, in pieces when it is larger than ObjectBuffer. A NameEntry's facility
// link is moved to the facility's offset in the new file. Returns the bytes
// written; sets `unreadable_input` when the input no longer holds the record.
uint64_t copy_object(RunState& rs, CatalogueEntry& entry, Origin from);
uint64_t copy_name_list_object(RunState& rs, CatalogueEntry& entry);
// Copies the NameEntry of `entry` from the input `from` names, with its
// facility link set to `link`: for an entry whose link names a facility of
// another file than the base.
uint64_t copy_name_entry(RunState& rs, CatalogueEntry& entry, Origin from, uint32_t link);
// Copies the whole record at `offset` of `in`, as copy_object does: in one
// piece when `size_seen` says its whole size as last seen (0: not known), and
// for a NameEntry with its facility link set to `*link` when `link` is given.
uint64_t copy_record(RunState& rs, CatalogueEntry& entry, InputFile& in, uint64_t offset,
                     uint32_t size_seen, const uint32_t* link);

// The facility link a copied NameEntry gets: the facility's offset in the new
// file, or 0 (files no facility) when that facility is not in the new file.
uint32_t relinked_facility(Catalogue& catalogue, uint32_t facility_offset);

}  // namespace quarnel
