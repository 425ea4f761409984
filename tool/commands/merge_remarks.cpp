// The report's note on an added airport so near an airport of the result so
// far that it may be that one under another name. The airports are sought in
// an index of the result's airports by latitude band, made the first time a
// source adds an airport and kept up to date from then on, so that a run of
// many small sources costs little per source.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "commands/merge_plan.h"
#include "format/coverage.h"
#include "format/positions.h"

namespace quarnel {

namespace {

// An index of the result's airports by a 32-bit key, which several may
// share: open addressing in the plan memory, each slot the key beside the
// airport's Catalogue index + 1 (0: free).
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

// Latitudes farther apart than this are farther apart than kNearDegrees; the
// bands of kBand latitudes in the index are wider, so a window spans three
// bands at most.
const int64_t kWindow = latitude_raw(kNearDegrees) + 1;
constexpr int kBand = 11;
static_assert(int64_t{1} << kBand > 1112, "a window spans three bands at most");
uint32_t band(int64_t latitude) { return static_cast<uint32_t>(latitude >> kBand); }

bool positioned(const AirportPosition& at) { return at.latitude != kNoPosition.latitude; }

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

static_assert(sizeof(TreeIndex) * kCatalogueCapacity <= kRemarkScratchSize,
              "the airports near one fit the scratch room");

void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count) {
  std::fill(plan->remarks, plan->remarks + plan->airports, Remark{kNoNode, 0.0f});
  if (count == 0) return;
  if (!plan->band_index_made) {
    index_bands(rs.catalogue, plan);
    plan->band_index_made = true;
  }
  find_near_airports(plan, added, count);
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

void index_added_airport(const Catalogue& catalogue, MergePlan* plan, std::size_t index) {
  if (plan->band_index_made && positioned(plan->positions[index])) {
    index_band(catalogue, plan, index);
  }
}

void index_moved_airport(const Catalogue& catalogue, MergePlan* plan, std::size_t index,
                         const AirportPosition& was) {
  const AirportPosition& at = plan->positions[index];
  if (!plan->band_index_made || !positioned(at)) return;
  if (positioned(was) && band(was.latitude) == band(at.latitude)) return;
  index_band(catalogue, plan, index);
}

}  // namespace quarnel
