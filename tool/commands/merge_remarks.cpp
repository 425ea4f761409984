// The report's notes on the added facilities: a name the result so far holds
// but for letter case or blanks at its ends, which an exact comparison took
// for another, and an airport so near one of its airports that it may be that
// one under another name. Each is sought in an index of the result's
// facilities, made the first time a source adds anything and kept up to date
// from then on, so that a run of many small sources costs little per source.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "commands/merge_plan.h"
#include "format/coverage.h"
#include "format/positions.h"

namespace quarnel {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

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

bool alike(std::string_view a, std::string_view b) {
  a = trimmed(a);
  b = trimmed(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return capital(x) == capital(y);
         });
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

// Eight bytes of `text` from `at`, fewer at its end, in a word.
uint64_t word_at(std::string_view text, std::size_t at) {
  uint64_t bytes = 0;
  if (text.size() - at >= 8) {
    std::memcpy(&bytes, text.data() + at, 8);
  } else {
    std::memcpy(&bytes, text.data() + at, text.size() - at);
  }
  return bytes;
}

// Equal for names alike of one kind: their length, first byte and last eight
// bytes in capitals. Names that share these are compared whole; the hash
// stays as cheap for a long name as for a short one, since every facility of
// the result gets one.
uint32_t alike_hash(int32_t kind, std::string_view name) {
  name = trimmed(name);
  uint64_t h = 0xCBF29CE484222325ull ^ static_cast<uint32_t>(kind) ^ (uint64_t{name.size()} << 32);
  if (!name.empty()) {
    const uint64_t last = capitals(word_at(name, name.size() < 8 ? 0 : name.size() - 8));
    h = (h ^ last ^ (uint64_t{capital(name.front())} << 56)) * 0x100000001B3ull;
    h ^= h >> 29;
  }
  return static_cast<uint32_t>(h ^ (h >> 32));
}

// An index of the result's facilities by a 32-bit key, which several may
// share: open addressing in the plan memory, each slot the key beside the
// facility's Catalogue index + 1 (0: free).
class FacilityIndex {
 public:
  FacilityIndex(RemarkSlot* slots, std::size_t* filled) : slots_(slots), filled_(filled) {}

  void clear() {
    std::fill(slots_, slots_ + kRemarkSlots, RemarkSlot{0, 0});
    *filled_ = 0;
  }
  // Whether `more` entries keep the probe paths short.
  bool has_room(std::size_t more) const { return *filled_ + more <= kRemarkSlots * 2 / 3; }
  void add(uint32_t key, std::size_t index) {
    std::size_t s = slot_of(key);
    while (slots_[s].entry != 0) s = (s + 1) & kMask;
    slots_[s] = RemarkSlot{key, static_cast<uint16_t>(index + 1)};
    ++*filled_;
  }
  template <typename Visit>
  void each(uint32_t key, Visit visit) const {
    for (std::size_t s = slot_of(key); slots_[s].entry != 0; s = (s + 1) & kMask) {
      if (slots_[s].key == key) visit(std::size_t{slots_[s].entry} - 1u);
    }
  }

 private:
  static constexpr std::size_t kMask = kRemarkSlots - 1;
  static std::size_t slot_of(uint32_t key) { return (key * 0x9E3779B1u) >> 17 & kMask; }

  RemarkSlot* slots_;
  std::size_t* filled_;
};
static_assert(kRemarkSlots * 2 / 3 >= kCatalogueCapacity, "every facility fits the name index");

// Latitudes farther apart than this are farther apart than kNearDegrees; the
// bands of kBand latitudes in the index are wider, so a window spans three
// bands at most.
const int64_t kWindow = latitude_raw(kNearDegrees) + 1;
constexpr int kBand = 11;
static_assert(int64_t{1} << kBand > 1112, "a window spans three bands at most");
uint32_t band(int64_t latitude) { return static_cast<uint32_t>(latitude >> kBand); }

bool positioned(const AirportPosition& at) { return at.latitude != kNoPosition.latitude; }

FacilityIndex name_index(MergePlan* plan) {
  return FacilityIndex(plan->name_slots, &plan->names_filled);
}
FacilityIndex band_index(MergePlan* plan) {
  return FacilityIndex(plan->band_slots, &plan->bands_filled);
}

// The airports by latitude band, made again from the result's airports; an
// airport that moves is added again under its new band, so its old entry
// goes stale, and a search skips it.
void index_bands(const Catalogue& catalogue, MergePlan* plan) {
  FacilityIndex bands = band_index(plan);
  bands.clear();
  for_each_held_facility(*plan, [&](std::size_t i) {
    if (catalogue[i].kind == kSubtypeAirport && positioned(plan->positions[i])) {
      bands.add(band(plan->positions[i].latitude), i);
    }
  });
}

void make_indexes(const Catalogue& catalogue, MergePlan* plan) {
  FacilityIndex names = name_index(plan);
  names.clear();
  for_each_held_facility(*plan, [&](std::size_t i) {
    if (catalogue[i].name != nullptr) names.add(alike_key(catalogue[i]), i);
  });
  index_bands(catalogue, plan);
  plan->remark_indexes = true;
}

std::size_t added_index(const MergePlan& plan, std::size_t remark) {
  return remark < plan.airports ? plan.airports_at + remark
                                : plan.navaids_at + (remark - plan.airports);
}

// Of the facilities alike in name, of the added one's kind, the first the
// result holds is named.
void find_similar_names(const Catalogue& catalogue, MergePlan* plan) {
  const FacilityIndex names = name_index(plan);
  const std::size_t added = plan->airports + plan->navaids;
  for (std::size_t r = 0; r < added; ++r) {
    const CatalogueEntry& e = catalogue[added_index(*plan, r)];
    TreeIndex& similar = plan->remarks[r].similar;
    names.each(alike_key(e), [&](std::size_t i) {
      const CatalogueEntry& held = catalogue[i];
      if (held.kind != e.kind || !alike(e.name, held.name)) return;
      if (similar == kNoNode || plan->held_before(i, similar, e.kind))
        similar = static_cast<TreeIndex>(i);
    });
  }
}

// The angle between two positions, in degrees, as a flat map near them
// measures it: the longitudes' difference shrinks by the cosine of the mean
// latitude, and goes the short way round.
double degrees_apart(int32_t lat_a, int32_t lon_a, int32_t lat_b, int32_t lon_b) {
  const double north = latitude_degrees(lat_a) - latitude_degrees(lat_b);
  const auto east_raw =
      static_cast<int32_t>(static_cast<uint32_t>(lon_a) - static_cast<uint32_t>(lon_b));
  const double mean = (latitude_degrees(lat_a) + latitude_degrees(lat_b)) / 2;
  const double east = longitude_degrees(east_raw) * portable_cos(mean * std::numbers::pi / 180);
  return std::sqrt(north * north + east * east);
}

// Each added airport against the airports of the result within a window of
// its latitude, in the order the result holds them: the nearest within
// kNearDegrees is named, the first of equally near ones.
void find_near_airports(MergePlan* plan, const AddedPosition* added, std::size_t count) {
  const FacilityIndex bands = band_index(plan);
  // The airports within the window, in the plan's scratch room.
  TreeIndex* const near = reinterpret_cast<TreeIndex*>(plan->scratch);
  for (const AddedPosition* p = added; p != added + count; ++p) {
    std::size_t found = 0;
    const uint32_t b = band(p->at.latitude);
    for (const uint32_t around : {b - 1, b, b + 1}) {
      bands.each(around, [&](std::size_t i) {
        const AirportPosition held = plan->positions[i];
        // An entry whose airport has moved since is stale.
        if (!positioned(held) || band(held.latitude) != around) return;
        const int64_t north = int64_t{held.latitude} - p->at.latitude;
        if (north <= kWindow && north >= -kWindow && found < kCatalogueCapacity) {
          near[found++] = static_cast<TreeIndex>(i);
        }
      });
    }
    std::sort(near, near + found,
              [&](TreeIndex x, TreeIndex y) { return plan->held_before(x, y, kSubtypeAirport); });
    const TreeIndex* end = std::unique(near, near + found);
    Remark& remark = plan->remarks[p->remark];
    for (const TreeIndex* n = near; n != end; ++n) {
      const TreeIndex i = *n;
      const AirportPosition held = plan->positions[i];
      const double apart =
          degrees_apart(p->at.latitude, p->at.longitude, held.latitude, held.longitude);
      if (apart <= kNearDegrees && (remark.near == kNoNode || apart < remark.degrees)) {
        remark.near = i;
        remark.degrees = static_cast<float>(apart);
      }
    }
  }
}

}  // namespace

uint32_t alike_key(const CatalogueEntry& facility) {
  return facility.name != nullptr ? alike_hash(facility.kind, facility.name) : 0;
}

static_assert(sizeof(TreeIndex) * kCatalogueCapacity <= kRemarkScratchSize,
              "the airports near one fit the scratch room");

void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count) {
  const std::size_t facilities = plan->airports + plan->navaids;
  std::fill(plan->remarks, plan->remarks + facilities, Remark{kNoNode, kNoNode, 0.0f});
  if (facilities == 0) return;
  if (!plan->remark_indexes) make_indexes(rs.catalogue, plan);
  find_similar_names(rs.catalogue, plan);
  if (count > 0) find_near_airports(plan, added, count);
}

namespace {

void index_band(const Catalogue& catalogue, MergePlan* plan, std::size_t index) {
  FacilityIndex bands = band_index(plan);
  if (bands.has_room(1)) {
    bands.add(band(plan->positions[index].latitude), index);
  } else {
    index_bands(catalogue, plan);  // stale entries dropped; this one is held already
  }
}

}  // namespace

void index_added_facility(const Catalogue& catalogue, MergePlan* plan, std::size_t index) {
  if (!plan->remark_indexes) return;
  const CatalogueEntry& e = catalogue[index];
  name_index(plan).add(alike_key(e), index);
  if (e.kind == kSubtypeAirport && positioned(plan->positions[index])) {
    index_band(catalogue, plan, index);
  }
}

void index_moved_airport(const Catalogue& catalogue, MergePlan* plan, std::size_t index,
                         const AirportPosition& was) {
  const AirportPosition& at = plan->positions[index];
  if (!plan->remark_indexes || !positioned(at)) return;
  if (positioned(was) && band(was.latitude) == band(at.latitude)) return;
  index_band(catalogue, plan, index);
}

}  // namespace quarnel
