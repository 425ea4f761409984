// Lookups in the Catalogue, and the indexes behind them. The indexes are built
// on the first lookup after a scan and answer exactly as walks over the
// Catalogue would.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/afd_format.h"
#include "scan/catalogue.h"

namespace quarnel {

// Slots of the name table at most: a power of two with room for half as many
// again as the Catalogue holds, so probe paths stay short however full it is.
constexpr std::size_t kNameSlots = std::bit_ceil(kCatalogueCapacity + kCatalogueCapacity / 2);

// The first airport (or, for kind 0, entry) of that name. Only the leading
// run of entries of `kind` is searched (kind 0: all).
CatalogueEntry* find_airport_by_name(Catalogue& catalogue, int32_t kind, std::string_view name);
// The first facility of `kind` (airport, VOR or NDB) with that name among the
// Catalogue's leading facilities, those before its first name-list entry.
CatalogueEntry* find_facility_by_name(Catalogue& catalogue, int32_t kind, std::string_view name);
// Builds the name index over all the leading facilities at once, so that the
// name lookups that follow, of either kind, need no further build.
void index_facility_names(Catalogue& catalogue);
// The first of the leading facilities of `kind` (those find_facility_by_name
// looks at) whose name is alike `name`: the same but for letter case and blanks
// at either end (names_alike).
CatalogueEntry* find_facility_alike(Catalogue& catalogue, int32_t kind, std::string_view name);
// Whether two names differ at most in the case of their letters (Windows-1252's,
// the files' encoding) and in blanks (spaces, tabs) at either end.
bool names_alike(std::string_view a, std::string_view b);
// The first facility whose record starts at `offset`; with `only_selected`,
// null when that facility is not selected.
CatalogueEntry* find_facility_by_offset(Catalogue& catalogue, uint32_t offset, bool only_selected);

// Scans call this whenever they add entries. Code that changes an entry's
// kind, name or base_offset in place must call it too; nothing in the tool
// does once a scan has ended.
void invalidate_lookups(Catalogue& catalogue);

// The hash that places a name in the name table, the same for names alike;
// tests use it to make names that share one.
uint32_t lookup_name_hash(std::string_view name);

}  // namespace quarnel
