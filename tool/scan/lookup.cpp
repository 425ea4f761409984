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
#include <array>
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

namespace {

// Windows-1252's capital of each byte, the encoding of the names in the files.
constexpr std::array<uint8_t, 256> kCapitals = [] {
  std::array<uint8_t, 256> capitals{};
  for (int c = 0; c < 256; ++c) {
    const bool small = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
    capitals[static_cast<std::size_t>(c)] = static_cast<uint8_t>(small ? c - 0x20 : c);
  }
  capitals[0x9A] = 0x8A;  // s caron
  capitals[0x9C] = 0x8C;  // oe
  capitals[0x9E] = 0x8E;  // z caron
  capitals[0xFF] = 0x9F;  // y diaeresis
  return capitals;
}();

uint8_t capital(char c) { return kCapitals[static_cast<uint8_t>(c)]; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Eight bytes of a name in capitals: ASCII's by arithmetic on all eight at
// once (no byte carries into the next below 0x80), others by the table.
uint64_t capitals(uint64_t bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  if ((bytes & kHigh) == 0) {
    const uint64_t from_a = bytes + (0x80 - 'a') * kOnes;
    const uint64_t past_z = bytes + (0x80 - 'z' - 1) * kOnes;
    return bytes - ((from_a & ~past_z & kHigh) >> 2);
  }
  uint64_t word = 0;
  for (int i = 0; i < 8; ++i) {
    word |= uint64_t{capital(static_cast<char>(bytes >> (8 * i)))} << (8 * i);
  }
  return word;
}

uint64_t mixed_in(uint64_t h, uint64_t bytes) {
  h = (h ^ capitals(bytes)) * 0x100000001B3ull;
  return h ^ (h >> 29);
}

}  // namespace

bool names_alike(std::string_view a, std::string_view b) {
  a = trimmed(a);
  b = trimmed(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return capital(x) == capital(y);
         });
}

// Names alike hash alike, so that a merge finds a base facility whose name
// differs only in case in the same table as the exact lookups, which still
// compare the names whole. The name goes in eight bytes at a time.
uint32_t lookup_name_hash(std::string_view name) {
  name = trimmed(name);
  uint64_t h = 0xCBF29CE484222325ull ^ name.size();
  std::size_t at = 0;
  for (; at + 8 <= name.size(); at += 8) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, name.data() + at, 8);
    h = mixed_in(h, bytes);
  }
  if (at < name.size()) {
    // The last bytes: the eight that end the name, shifted down to them.
    uint64_t bytes = 0;
    if (name.size() >= 8) {
      std::memcpy(&bytes, name.data() + name.size() - 8, 8);
      bytes >>= 8 * (8 - (name.size() - at));
    } else {
      for (std::size_t i = 0; i < name.size(); ++i) {
        bytes |= uint64_t{static_cast<uint8_t>(name[i])} << (8 * i);
      }
    }
    h = mixed_in(h, bytes);
  }
  // Every bit of the word into the low ones, which pick the slot.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
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

// The entries named `name` (or alike it, with `alike`), met in Catalogue order
// on the name's probe path, until `judge` takes one (kTake) or gives up (kNone).
template <typename Judge>
CatalogueEntry* first_named(Catalogue& catalogue, std::string_view name, Judge judge,
                            bool alike = false) {
  const CatalogueLookups& l = catalogue.lookups;
  const uint32_t h = lookup_name_hash(name);
  for (std::size_t s = h & l.name_mask;; s = (s + 1) & l.name_mask) {
    const uint32_t slot = l.name_slots[s];
    if (slot == 0) return nullptr;
    if ((slot & ~kIndexMask) != (h & ~kIndexMask)) continue;
    const std::size_t i = (slot & kIndexMask) - 1;
    CatalogueEntry& e = catalogue[i];
    if (e.name == nullptr || !(alike ? names_alike(name, e.name) : name == e.name)) continue;
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

CatalogueEntry* find_facility_alike(Catalogue& catalogue, int32_t kind, std::string_view name) {
  index_facility_names(catalogue);
  const std::size_t limit = catalogue.lookups.facility_run;
  if (limit == 0) return nullptr;
  return first_named(
      catalogue, name,
      [limit, kind](std::size_t i, const CatalogueEntry& e) {
        return i < limit && e.kind == kind ? Probe::kTake : Probe::kSkip;
      },
      true);
}

CatalogueEntry* find_facility_by_offset(Catalogue& catalogue, uint32_t offset, bool only_selected) {
  ensure_lookups(catalogue);
  if (!catalogue.lookups.keyed) build_offset_table(catalogue, catalogue.lookups.indexed);
  CatalogueEntry* e = first_facility_at(catalogue, offset);
  return e != nullptr && only_selected && !is_selected(*e) ? nullptr : e;
}

}  // namespace quarnel
