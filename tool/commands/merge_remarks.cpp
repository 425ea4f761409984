// The report's notes on the added facilities: a name the base holds but for
// letter case or blanks at its ends, which an exact comparison took for
// another, and an airport so near a base airport that it may be that one under
// another name. Each is sought in one pass over the base's facilities against
// the added ones, sorted in the plan's scratch memory.
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
// stays as cheap for a long name as for a short one, since every base
// facility's is taken.
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

struct NameKey {
  uint32_t hash;
  uint32_t remark;
};

// Which of 2^16 values some added facility has: a base facility whose value's
// bit is clear needs no search.
class Sieve {
 public:
  void add(uint32_t value) { bits_[(value >> 6) & kMask] |= uint64_t{1} << (value & 63); }
  bool may_hold(uint32_t value) const { return (bits_[(value >> 6) & kMask] >> (value & 63)) & 1; }

 private:
  static constexpr std::size_t kWords = 1024;
  static constexpr uint32_t kMask = kWords - 1;
  std::array<uint64_t, kWords> bits_{};
};

bool is_base_facility(const MergePlan& plan, const CatalogueEntry& e, std::size_t i) {
  return is_facility(e) && !plan.is_added(i);
}

std::size_t added_index(const MergePlan& plan, std::size_t remark) {
  return remark < plan.airports ? plan.airports_at + remark
                                : plan.navaids_at + (remark - plan.airports);
}

void find_similar_names(const Catalogue& catalogue, MergePlan* plan, NameKey* keys) {
  const std::size_t added = plan->airports + plan->navaids;
  for (std::size_t r = 0; r < added; ++r) {
    const CatalogueEntry& e = catalogue[added_index(*plan, r)];
    keys[r] = NameKey{alike_hash(e.kind, e.name), static_cast<uint32_t>(r)};
  }
  const auto by_hash = [](const NameKey& a, const NameKey& b) { return a.hash < b.hash; };
  std::sort(keys, keys + added, by_hash);
  Sieve sieve;
  for (std::size_t r = 0; r < added; ++r) sieve.add(keys[r].hash);
  for (std::size_t i = 0; i < catalogue.count && is_facility(catalogue[i]); ++i) {
    const CatalogueEntry& base = catalogue[i];
    if (!is_base_facility(*plan, base, i) || base.name == nullptr) continue;
    const NameKey key{alike_hash(base.kind, base.name), 0};
    if (!sieve.may_hold(key.hash)) continue;
    const auto [first, last] = std::equal_range(keys, keys + added, key, by_hash);
    for (const NameKey* k = first; k != last; ++k) {
      Remark& remark = plan->remarks[k->remark];
      const CatalogueEntry& e = catalogue[added_index(*plan, k->remark)];
      // The base's first such facility is named.
      if (remark.similar == kNoNode && e.kind == base.kind && alike(e.name, base.name)) {
        remark.similar = static_cast<TreeIndex>(i);
      }
    }
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

// Each base airport, at the position the scan kept, against the added
// airports near its latitude.
void find_near_airports(const Catalogue& catalogue, MergePlan* plan, AddedPosition* added,
                        std::size_t count) {
  std::sort(added, added + count, [](const AddedPosition& a, const AddedPosition& b) {
    return a.at.latitude < b.at.latitude;
  });
  // Latitudes farther apart than this are farther apart than kNearDegrees;
  // the sieve holds the bands of kBand latitudes the added airports are in.
  const int64_t window = latitude_raw(kNearDegrees) + 1;
  constexpr int kBand = 11;
  static_assert(int64_t{1} << kBand > 1112, "a window spans three bands at most");
  const auto band = [](int64_t latitude) { return static_cast<uint32_t>(latitude >> kBand); };
  Sieve sieve;
  for (std::size_t k = 0; k < count; ++k) {
    const uint32_t b = band(added[k].at.latitude);
    sieve.add(b - 1);
    sieve.add(b);
    sieve.add(b + 1);
  }
  for (std::size_t scanned = 0; scanned < plan->base_facilities; ++scanned) {
    // The scan kept the positions of airports only.
    const std::size_t i = plan->moved(scanned);
    if (catalogue[i].kind != kSubtypeAirport) continue;
    const AirportPosition base = plan->base_positions[scanned];
    if (base.latitude == kNoPosition.latitude) continue;
    if (!sieve.may_hold(band(base.latitude))) continue;
    const AddedPosition* p = std::lower_bound(
        added, added + count, int64_t{base.latitude} - window,
        [](const AddedPosition& a, int64_t latitude) { return a.at.latitude < latitude; });
    for (; p != added + count && p->at.latitude <= int64_t{base.latitude} + window; ++p) {
      const double apart =
          degrees_apart(p->at.latitude, p->at.longitude, base.latitude, base.longitude);
      Remark& remark = plan->remarks[p->remark];
      if (apart <= kNearDegrees && (remark.near == kNoNode || apart < remark.degrees)) {
        remark.near = static_cast<TreeIndex>(i);
        remark.degrees = static_cast<float>(apart);
      }
    }
  }
}

}  // namespace

static_assert(sizeof(NameKey) * kCatalogueCapacity <= sizeof(TreeNode) * kTreeNodes,
              "the names alike are sought in the room of the tree");

void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count) {
  const std::size_t facilities = plan->airports + plan->navaids;
  std::fill(plan->remarks, plan->remarks + facilities, Remark{kNoNode, kNoNode, 0.0f});
  if (facilities == 0) return;
  find_similar_names(rs.catalogue, plan, reinterpret_cast<NameKey*>(plan->tree));
  if (count > 0) find_near_airports(rs.catalogue, plan, added, count);
}

}  // namespace quarnel
