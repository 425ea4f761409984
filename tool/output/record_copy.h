// Records copied into the output by their catalogued offsets, from the input
// an Origin names, and the end marks between lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/files.h"
#include "output/write_target.h"
#include "scan/catalogue.h"

namespace quarnel {

// Reads the record of `entry` from the input `from` names into ObjectBuffer,
// at most as much of it as the buffer holds; nothing for Origin::kNone.
// Returns the bytes read: fewer than the head's 8 when not even it was there.
std::size_t read_object(const WriteTarget& target, const CatalogueEntry& entry, Origin from);
// Writes the first `n` bytes of ObjectBuffer at the output's position and
// sets the entry's output_offset there; nothing, leaving it, when `n` is 0.
// Returns the bytes written.
std::size_t write_object(const WriteTarget& target, CatalogueEntry& entry, std::size_t n);
// Reads the NameListHead of `entry` from the first input into ObjectBuffer:
// its 24 bytes, or its first 8 when they are no head's. Returns the bytes read.
std::size_t read_name_list_head(const WriteTarget& target, const CatalogueEntry& entry);
// Writes the 24 bytes of a head that read_name_list_head read. Returns the
// bytes written.
std::size_t write_name_list_head(const WriteTarget& target);
// Writes an end record of size 0. Returns the bytes written.
std::size_t write_end_mark(OutputFile& out);

// Copies the whole record of `entry` from the input `from` names to the
// output, in pieces when it is larger than ObjectBuffer. A NameEntry's facility
// link is moved to the facility's offset in the new file. Returns the bytes
// written; notes the input unreadable (InputFile::unreadable) when it no
// longer holds the record.
uint64_t copy_object(const WriteTarget& target, CatalogueEntry& entry, Origin from);
// Copies a head or a NameEntry of the first input's name lists, as
// copy_object does, and sets its output_offset; anything else is not copied.
// Returns the bytes written.
uint64_t copy_name_list_object(const WriteTarget& target, CatalogueEntry& entry);
// Copies the NameEntry of `entry` from the input `from` names, with its
// facility link set to `link`: for an entry whose link names a facility of
// another file than the base.
uint64_t copy_name_entry(const WriteTarget& target, CatalogueEntry& entry, Origin from,
                         uint32_t link);
// Copies the whole record at `offset` of `in`, as copy_object does: in one
// piece when `size_seen` says its whole size as last seen (0: not known), and
// for a NameEntry with its facility link set to `*link` when `link` is given.
uint64_t copy_record(OutputFile& out, CatalogueEntry& entry, InputFile& in, uint64_t offset,
                     uint32_t size_seen, const uint32_t* link);

// The facility link a copied NameEntry gets: the facility's offset in the new
// file, or 0 (files no facility) when that facility is not in the new file.
uint32_t relinked_facility(Catalogue& catalogue, uint32_t facility_offset);

}  // namespace quarnel
