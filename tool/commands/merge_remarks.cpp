// The report's note on an added airport so near a base airport that it may be
// that one under another name: one pass over the base's airports, each at the
// position the scan kept, against the added ones sorted by latitude.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "commands/merge_plan.h"
#include "format/coverage.h"
#include "format/positions.h"

namespace quarnel {

namespace {

// Which of 2^16 values some added airport has: a base airport whose value's
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

void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count) {
  std::fill(plan->remarks, plan->remarks + plan->airports, Remark{kNoNode, 0.0f});
  if (count > 0) find_near_airports(rs.catalogue, plan, added, count);
}

}  // namespace quarnel
