// The two Catalogue lookups that run once per record: a source airport looked
// up by name, a name entry's facility looked up by offset. Walking the
// Catalogue for each would make a full file cost 20000 x 20000 steps, so both
// answer from indexes built once, after the scan, in blocks allocated with the
// Catalogue. The answers are those of the plain walks from the first entry:
//   - by name: the first entry with the name; for a kind other than 0 only the
//     leading run of entries of that kind counts;
//   - by offset: the first entry with that base_offset before the first
//     name-list entry; with only_selected, an unselected first match is none.
#include "lookup.h"

#include <algorithm>
#include <cstring>

#include "catalogue.h"

namespace quarnel {

namespace {

constexpr std::size_t kNameSlotMask = kNameSlots - 1;
constexpr uint64_t kLowWord = 0xFFFFFFFFu;

static_assert((kNameSlots & kNameSlotMask) == 0, "the name table probes with a mask");
static_assert(kNameSlots >= 2 * kCatalogueCapacity, "the name table stays at most half full");

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
// probe path, so the first match found is the first in the Catalogue.
void build_name_table(RunState& rs, std::size_t count) {
  uint64_t* slots = rs.lookups.name_slots.get();
  std::fill(slots, slots + kNameSlots, uint64_t{0});
  for (std::size_t i = 0; i < count; ++i) {
    const char* name = rs.catalogue[i].name;
    if (name == nullptr) continue;  // a name that did not fit never matches
    const uint32_t h = lookup_name_hash(name);
    std::size_t s = h & kNameSlotMask;
    while (slots[s] != 0) s = (s + 1) & kNameSlotMask;
    slots[s] = static_cast<uint64_t>(h) << 32 | (i + 1);
  }
}

// Keys offset << 32 | index, sorted: equal offsets stand in Catalogue order.
// A scan meets facilities at rising offsets, so the keys are usually sorted
// as they are made.
void build_facility_keys(RunState& rs, std::size_t count) {
  uint64_t* keys = rs.lookups.facility_keys.get();
  std::size_t n = 0;
  while (n < count && rs.catalogue[n].kind <= kSubtypeNdb) {
    keys[n] = static_cast<uint64_t>(rs.catalogue[n].base_offset) << 32 | n;
    ++n;
  }
  if (!std::is_sorted(keys, keys + n)) std::sort(keys, keys + n);
  rs.lookups.facilities = n;
}

void ensure_lookups(RunState& rs) {
  CatalogueLookups& l = rs.lookups;
  const std::size_t count = std::min(rs.catalogue_count, kCatalogueCapacity);
  if (l.ready && l.indexed == count) return;
  build_name_table(rs, count);
  build_facility_keys(rs, count);
  std::size_t run = count > 0 ? 1 : 0;
  while (run < count && rs.catalogue[run].kind == rs.catalogue[0].kind) ++run;
  l.leading_run = run;
  l.indexed = count;
  l.ready = true;
}

}  // namespace

void invalidate_lookups(RunState& rs) { rs.lookups.ready = false; }

CatalogueEntry* find_airport_by_name(RunState& rs, int32_t kind, std::string_view name) {
  ensure_lookups(rs);
  const CatalogueLookups& l = rs.lookups;
  if (l.indexed == 0) return nullptr;
  std::size_t limit = l.indexed;
  if (kind != 0) {
    if (rs.catalogue[0].kind != kind) return nullptr;
    limit = l.leading_run;
  }
  const uint32_t h = lookup_name_hash(name);
  for (std::size_t s = h & kNameSlotMask;; s = (s + 1) & kNameSlotMask) {
    const uint64_t slot = l.name_slots[s];
    if (slot == 0) return nullptr;
    if (slot >> 32 != h) continue;
    const std::size_t i = static_cast<std::size_t>(slot & kLowWord) - 1;
    CatalogueEntry& e = rs.catalogue[i];
    if (e.name != nullptr && name == e.name) return i < limit ? &e : nullptr;
  }
}

CatalogueEntry* find_facility_by_offset(RunState& rs, uint32_t offset, bool only_selected) {
  ensure_lookups(rs);
  const CatalogueLookups& l = rs.lookups;
  const uint64_t* keys = l.facility_keys.get();
  const uint64_t* end = keys + l.facilities;
  const uint64_t* it = std::lower_bound(keys, end, static_cast<uint64_t>(offset) << 32);
  if (it == end || *it >> 32 != offset) return nullptr;
  CatalogueEntry& e = rs.catalogue[static_cast<std::size_t>(*it & kLowWord)];
  return only_selected && !is_selected(e) ? nullptr : &e;
}

}  // namespace quarnel
