// The two Catalogue lookups that run once per record: a source airport looked
// up by name, a name entry's facility looked up by offset. Walking the
// Catalogue for each would make a full file cost 20000 x 20000 steps, so both
// answer from indexes built once, after the scan, in blocks allocated with the
// Catalogue. The answers are those of the plain walks from the first entry:
//   - by name: the first entry with the name; for a kind other than 0 only the
//     leading run of entries of that kind counts;
//   - by offset: the first entry with that base_offset before the first
//     name-list entry; with only_selected, an unselected first match is none.
#include "scan/lookup.h"

#include <algorithm>
#include <cstring>

namespace quarnel {

namespace {

// A name slot packs the entry's index + 1 (0 marks a free slot) into its low
// bits and the top bits of the name's hash above them, so most probes that
// meet another name are told apart without reading the entry.
constexpr int kIndexBits = std::bit_width(kCatalogueCapacity);
constexpr uint32_t kIndexMask = (uint32_t{1} << kIndexBits) - 1;
static_assert(kCatalogueCapacity < kIndexMask, "index + 1 fits the slot's index bits");
static_assert(kNameSlots >= kCatalogueCapacity + kCatalogueCapacity / 2,
              "the name table stays at most two thirds full");

}  // namespace

uint32_t lookup_name_hash(std::string_view name) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (const char c : name) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  // FNV's low bits alone pick slots poorly; fold the high bits in.
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  return h;
}

namespace {

// Open addressing with linear probing, filled in Catalogue order and never
// thinned: of the entries that share a name, the earliest sits first on the
// probe path, so the first match found is the first in the Catalogue. The
// table holds the first `count` entries only, as many as the lookups asked
// for so far: a link asks only within the leading run of airports, and
// hashing the names of every name-list entry as well would cost more than
// its lookups.
void build_name_table(Catalogue& catalogue, std::size_t count) {
  CatalogueLookups& l = catalogue.lookups;
  const std::size_t size = std::min(std::bit_ceil(count + count / 2 + 16), kNameSlots);
  l.name_mask = size - 1;
  uint32_t* slots = l.name_slots.get();
  std::fill(slots, slots + size, uint32_t{0});
  for (std::size_t i = 0; i < count; ++i) {
    const char* name = catalogue[i].name;
    if (name == nullptr) continue;  // a name that did not fit never matches
    const uint32_t h = lookup_name_hash(name);
    std::size_t s = h & l.name_mask;
    while (slots[s] != 0) s = (s + 1) & l.name_mask;
    slots[s] = (h & ~kIndexMask) | static_cast<uint32_t>(i + 1);
  }
  l.named = count;
}

// Record offsets often differ only above their low bits (records of one size);
// the multiply carries them up, the shift brings them back to the slot bits.
uint32_t offset_hash(uint32_t offset) {
  const uint32_t h = offset * 0x9E3779B1u;
  return h ^ h >> 15;
}

// The facility entries are the Catalogue's first entries, up to the first
// name-list entry. A NameEntry's link is looked up for every entry a command
// copies, in no order that follows the facilities, so the offsets go into an
// open-addressing table (a search in a sorted array costs a dozen mispredicted
// branches each). A slot holds the offset beside the entry's index + 1, so a
// probe reads no entry. Filled in Catalogue order, and an offset already there
// is not added again: the first entry with an offset is the one found.
void build_offset_table(Catalogue& catalogue, std::size_t count) {
  CatalogueLookups& l = catalogue.lookups;
  std::size_t n = 0;
  while (n < count && catalogue[n].kind <= kSubtypeNdb) ++n;
  const std::size_t size = std::min(std::bit_ceil(n + n / 2 + 16), kNameSlots);
  l.offset_mask = size - 1;
  uint64_t* slots = l.offset_slots.get();
  std::fill(slots, slots + size, uint64_t{0});
  for (std::size_t i = 0; i < n; ++i) {
    const uint32_t offset = catalogue[i].base_offset;
    std::size_t s = offset_hash(offset) & l.offset_mask;
    while (slots[s] != 0 && slots[s] >> 32 != offset) s = (s + 1) & l.offset_mask;
    if (slots[s] == 0) slots[s] = uint64_t{offset} << 32 | (i + 1);
  }
  l.keyed = true;
}

void ensure_lookups(Catalogue& catalogue) {
  CatalogueLookups& l = catalogue.lookups;
  const std::size_t count = std::min(catalogue.count, kCatalogueCapacity);
  if (l.ready && l.indexed == count) return;
  l.named = 0;
  l.keyed = false;
  std::size_t run = count > 0 ? 1 : 0;
  while (run < count && catalogue[run].kind == catalogue[0].kind) ++run;
  l.leading_run = run;
  std::size_t facilities = 0;
  while (facilities < count && is_facility(catalogue[facilities])) ++facilities;
  l.facility_run = facilities;
  l.indexed = count;
  l.ready = true;
}

// The first facility entry with `offset`, or none.
CatalogueEntry* first_facility_at(Catalogue& catalogue, uint32_t offset) {
  const CatalogueLookups& l = catalogue.lookups;
  for (std::size_t s = offset_hash(offset) & l.offset_mask;; s = (s + 1) & l.offset_mask) {
    const uint64_t slot = l.offset_slots[s];
    if (slot == 0) return nullptr;
    if (slot >> 32 == offset) return &catalogue[(slot & 0xFFFFFFFFu) - 1];
  }
}

}  // namespace

void invalidate_lookups(Catalogue& catalogue) { catalogue.lookups.ready = false; }

namespace {

enum class Probe { kSkip, kTake, kNone };

// The entries named `name`, met in Catalogue order on the name's probe path,
// until `judge` takes one (kTake) or gives up (kNone).
template <typename Judge>
CatalogueEntry* first_named(Catalogue& catalogue, std::string_view name, Judge judge) {
  const CatalogueLookups& l = catalogue.lookups;
  const uint32_t h = lookup_name_hash(name);
  for (std::size_t s = h & l.name_mask;; s = (s + 1) & l.name_mask) {
    const uint32_t slot = l.name_slots[s];
    if (slot == 0) return nullptr;
    if ((slot & ~kIndexMask) != (h & ~kIndexMask)) continue;
    const std::size_t i = (slot & kIndexMask) - 1;
    CatalogueEntry& e = catalogue[i];
    if (e.name == nullptr || name != e.name) continue;
    const Probe verdict = judge(i, e);
    if (verdict != Probe::kSkip) return verdict == Probe::kTake ? &e : nullptr;
  }
}

}  // namespace

CatalogueEntry* find_airport_by_name(Catalogue& catalogue, int32_t kind, std::string_view name) {
  ensure_lookups(catalogue);
  CatalogueLookups& l = catalogue.lookups;
  if (l.indexed == 0) return nullptr;
  std::size_t limit = l.indexed;
  if (kind != 0) {
    if (catalogue[0].kind != kind) return nullptr;
    limit = l.leading_run;
  }
  if (l.named < limit) build_name_table(catalogue, limit);
  return first_named(catalogue, name, [limit](std::size_t i, const CatalogueEntry&) {
    return i < limit ? Probe::kTake : Probe::kNone;
  });
}

void index_facility_names(Catalogue& catalogue) {
  ensure_lookups(catalogue);
  CatalogueLookups& l = catalogue.lookups;
  if (l.named < l.facility_run) build_name_table(catalogue, l.facility_run);
}

CatalogueEntry* find_facility_by_name(Catalogue& catalogue, int32_t kind, std::string_view name) {
  index_facility_names(catalogue);
  const std::size_t limit = catalogue.lookups.facility_run;
  if (limit == 0) return nullptr;
  // Entries of one name lie on one probe path in Catalogue order, so the
  // first of the kind met is the first in the Catalogue.
  return first_named(catalogue, name, [limit, kind](std::size_t i, const CatalogueEntry& e) {
    return i < limit && e.kind == kind ? Probe::kTake : Probe::kSkip;
  });
}

CatalogueEntry* find_facility_by_offset(Catalogue& catalogue, uint32_t offset, bool only_selected) {
  ensure_lookups(catalogue);
  if (!catalogue.lookups.keyed) build_offset_table(catalogue, catalogue.lookups.indexed);
  CatalogueEntry* e = first_facility_at(catalogue, offset);
  return e != nullptr && only_selected && !is_selected(*e) ? nullptr : e;
}

}  // namespace quarnel
