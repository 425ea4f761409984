// Generated sets of sound AFD files for the merge's property tests: facilities
// filed under places drawn from a small vocabulary, so that the files' places
// meet in part, in whole or not at all.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "afd_builder.h"
#include "format/coverage.h"
#include "format/positions.h"

namespace afdtest {

using Places = std::vector<NameRef>;  // level and name of each, top first

class PairMaker {
 public:
  explicit PairMaker(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull | 1) {}

  int below(int n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<int>(state_ % static_cast<uint64_t>(n));
  }

  // Places from a small vocabulary, some levels left out, so that the two
  // files' places meet in part, in whole or not at all.
  Places places() {
    // Half the time, places drawn before: the source's meet the base's more.
    if (!drawn_.empty() && below(2) == 0)
      return drawn_[static_cast<std::size_t>(below(static_cast<int>(drawn_.size())))];
    using namespace levels;
    static constexpr int32_t kLevels[] = {kRegion, kCountry, kState, kCity};
    static constexpr const char* kWords[] = {"R", "C", "S", "T"};
    static constexpr int kNames[] = {2, 2, 2, 3};
    Places p;
    const bool all = below(4) != 0;
    for (int i = 0; i < 4; ++i) {
      if (all || below(4) != 0) p.emplace_back(kLevels[i], numbered(kWords[i], below(kNames[i])));
    }
    drawn_.push_back(p);
    return p;
  }

  quarnel::AirportPosition position() {
    return {quarnel::latitude_raw(40 + below(20000) / 1000.0),
            quarnel::longitude_raw(-10 + below(40000) / 1000.0)};
  }

  // Files each facility but some under drawn places, in one to three lists,
  // the entries of one place together in a random order; now and then a
  // place is opened again beside the one of its name, or a facility filed
  // twice. Sets the bounds to cover the airports.
  void file(AfdBuilder& b) {
    struct Item {
      Places places;
      int facility;
      int order;
    };
    const int lists = 1 + below(3);
    std::vector<std::vector<Item>> items(static_cast<std::size_t>(lists));
    for (int f = 0; f < static_cast<int>(b.facilities().size()); ++f) {
      for (int times = below(8) == 0 ? 0 : below(10) == 0 ? 2 : 1; times > 0; --times) {
        items[static_cast<std::size_t>(below(lists))].push_back({places(), f, below(1000)});
      }
    }
    for (std::size_t l = 0; l < items.size(); ++l) {
      std::vector<Item>& list_items = items[l];
      const auto sort_key = [](const Item& item) {
        std::vector<std::pair<int32_t, std::string>> key;
        for (const NameRef& p : item.places) key.emplace_back(p.level, p.name);
        return std::make_pair(key, item.order);
      };
      std::sort(list_items.begin(), list_items.end(),
                [&](const Item& x, const Item& y) { return sort_key(x) < sort_key(y); });
      NameList& list = b.add_list();
      for (const Item& item : list_items) {
        const Facility& f = b.facilities()[static_cast<std::size_t>(item.facility)];

        // The places the list's last entries opened are not repeated, but now and then.
        std::size_t shared = list.open_places(item.places);
        if (shared > 0 && below(8) == 0)
          shared = static_cast<std::size_t>(below(static_cast<int>(shared)));
        list.entries.insert(list.entries.end(), item.places.begin() + static_cast<long>(shared),
                            item.places.end());
        list.entries.emplace_back(entry_level(f), *f.name, item.facility);
      }
    }
    quarnel::CoverageBox all = quarnel::kEmptyBox, ai = quarnel::kEmptyBox;
    for (const Facility& f : b.facilities()) {
      if (f.subtype != 1) continue;
      quarnel::log_bounds0(all, f.position->first, f.position->second);
      if (f.ai) quarnel::log_bounds0(ai, f.position->first, f.position->second);
    }
    b.bounds = {all.lat_max, all.lat_min, all.lon_max, all.lon_min};
    b.trailer_box = {ai.lat_max, ai.lat_min, ai.lon_max, ai.lon_min};
  }

  Facility airport(const std::string& name) {
    const quarnel::AirportPosition p = position();
    return Facility::airport(name, p.latitude, p.longitude, below(4) == 0);
  }

 private:
  uint64_t state_;
  std::vector<Places> drawn_;
};

}  // namespace afdtest
