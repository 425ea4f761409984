// Writes a base file and a source file shaped like real scenery data, for the
// benchmark: airports of a few hundred bytes with positions, names and some AI
// markers, VORs and NDBs, name lists filing them under region, country, state
// and city, and a source whose airports replace a few thousand of the base's.
//
//   make_bench_files <folder> [--entries N] [--size-mib M] [--seed S] [--merge 1]
//                    [--addons N]
//
// --entries   catalogue entries of the base (default and most 20000, the
//             tool's capacity); airports, navaids and name-list records keep
//             the proportions 7 : 1 : 12.
// --size-mib  grows the airport records (each at most 64000 bytes) until the
//             base is about M MiB; when 64000-byte records are not enough,
//             more of the entries become airports and fewer name-list records.
// --seed      seed of the generator; the same arguments give the same bytes.
// --merge 1   also writes merge-base.bgl and merge-source.bgl: a base of a
//             tenth fewer entries, which leaves the merge room to add, and a
//             source like source.bgl whose new airports are filed in name
//             lists, a third each under a city, a state and a region that the
//             base lacks. The first pair comes out as without the option.
// --addons N  with --merge 1, also writes N add-ons for merge-base.bgl into
//             <folder>/addons (addon-000.bgl, ...): 1 to 20 airports each, most
//             new, filed as the merge source's are, one in five replacing a
//             base airport and one in ten added by an earlier add-on too.
//
// Writes base.bgl, source.bgl and names.txt (64 airport names of the base for
// the extract command, one a line).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "afd_builder.h"

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;

namespace {

constexpr int kCapacity = 20000;
constexpr int kMaxRecord = 64000;
constexpr uint32_t kRunwayData = 0x10010;  // a sub-record type the tool steps over
constexpr int32_t kRegion = 0x10001, kCountry = 0x20001, kState = 0x30001, kCity = 0x40001;
constexpr int32_t kAirportLevel = 0x50001, kVorLevel = 0x50003, kNdbLevel = 0x50004;
constexpr int kExtractNames = 64;

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  // Uniform in [lo, hi].
  int64_t between(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
  }
  template <typename T>
  void shuffle(std::vector<T>& v) {
    for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[next() % i]);
  }
  void fill(Bytes& b) {
    for (std::size_t i = 0; i < b.size(); i += 8) {
      const uint64_t r = next();
      for (std::size_t k = 0; k < 8 && i + k < b.size(); ++k)
        b[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
  }

 private:
  uint64_t state_;
};

struct Options {
  std::string folder;
  int entries = kCapacity;
  int64_t size_mib = 0;
  uint64_t seed = 1;
  bool merge = false;
  int addons = 0;
};

struct Mix {
  int airports = 0;
  int navaids = 0;
  int list_records = 0;  // heads and entries
  int record_bytes = 0;  // mean airport record size; 0: a few hundred bytes
};

Mix choose_mix(const Options& o) {
  Mix m;
  m.navaids = std::max(2, o.entries / 20);
  m.airports = o.entries * 7 / 20;
  if (o.size_mib > 0) {
    const int64_t target = o.size_mib << 20;
    // Records are drawn between 7/8 and all of the mean, so the mean stays
    // below the limit by that margin.
    const int64_t mean_limit = kMaxRecord * 15 / 16;
    const int64_t needed = (target + mean_limit - 1) / mean_limit;
    m.airports = static_cast<int>(std::max<int64_t>(m.airports, needed));
    m.airports = std::min(m.airports, o.entries - m.navaids - 8);
    m.record_bytes = static_cast<int>(std::min<int64_t>(target / m.airports, mean_limit));
  }
  m.list_records = o.entries - m.airports - m.navaids;
  return m;
}

// Airport names: short, so that a full catalogue fits the tool's name pool.
std::string airport_name(int i) {
  static const char* const kWords[] = {"FIELD", "INTL", "MUNI", "REGIONAL", "COUNTY", "AIRPARK"};
  char text[32];
  std::snprintf(text, sizeof text, "%s %05d", kWords[i % 6], i);
  return text;
}

std::string numbered(const char* word, int i) {
  char text[32];
  std::snprintf(text, sizeof text, "%s %04d", word, i);
  return text;
}

Facility make_airport(const std::string& name, const Mix& m, Random& rnd) {
  Facility f = Facility::airport(name, static_cast<int32_t>(rnd.between(-600000000, 600000000)),
                                 static_cast<int32_t>(rnd.next()), rnd.between(0, 9) == 0);
  int64_t extra = rnd.between(100, 400);
  if (m.record_bytes > 0) {
    const int64_t whole = rnd.between(m.record_bytes * 7 / 8, m.record_bytes * 9 / 8);
    const int64_t fixed = static_cast<int64_t>(afdtest::facility_record(f).size()) + 8;
    extra = std::clamp<int64_t>(whole - fixed, 0, kMaxRecord - fixed);
  }
  Bytes runway(static_cast<std::size_t>(extra));
  rnd.fill(runway);
  f.extra.push_back({kRunwayData, std::move(runway)});
  return f;
}

struct Base {
  AfdBuilder builder;
  std::vector<std::string> names;  // per facility index
  int leading_airports = 0;        // airports before the first navaid
  int lists = 0;
  std::vector<std::vector<NameRef>> city_paths;  // region, country, (state,) city
};

// Airports first, then the navaids, then a few airports that stand behind the
// first navaid: the tool never replaces those, and the benchmark keeps it so.
void add_facilities(Base& base, const Mix& m, Random& rnd) {
  const int late = m.airports >= 100 ? 10 : 0;
  base.leading_airports = m.airports - late;
  for (int i = 0; i <= m.airports; ++i) {
    if (i == base.leading_airports) {
      for (int v = 0; v < m.navaids; ++v) {
        const bool vor = v % 2 == 0;
        base.names.push_back(numbered(vor ? "VOR" : "NDB", v));
        base.builder.add(vor ? Facility::vor(base.names.back()) : Facility::ndb(base.names.back()));
      }
    }
    if (i == m.airports) break;
    // Now and then a name is given twice: the first airport of a name wins.
    base.names.push_back(airport_name(i % 997 == 996 ? i - 500 : i));
    base.builder.add(make_airport(base.names.back(), m, rnd));
  }
}

int32_t leaf_level(const Facility& f) {
  return f.subtype == 1 ? kAirportLevel : f.subtype == 2 ? kVorLevel : kNdbLevel;
}

// The name lists: one per region, each a tree of countries, states and cities
// whose leaves file the facilities in an order unrelated to the object list.
void add_name_lists(Base& base, const Mix& m, Random& rnd) {
  const int lists = std::max(1, m.list_records / 1500);
  base.lists = lists;
  const int inner = std::max(4 * lists, m.list_records / 3 - lists);
  const int leaves = m.list_records - lists - inner;
  const int facility_count = static_cast<int>(base.builder.facilities().size());
  std::vector<int> order(static_cast<std::size_t>(facility_count));
  for (int i = 0; i < facility_count; ++i) order[static_cast<std::size_t>(i)] = i;
  rnd.shuffle(order);
  int leaf = 0, city_no = 0, state_no = 0, country_no = 0;
  for (int l = 0; l < lists; ++l) {
    auto& list = base.builder.add_list();
    const int n_inner = inner / lists + (l == lists - 1 ? inner % lists : 0);
    const int n_leaves = leaves / lists + (l == lists - 1 ? leaves % lists : 0);
    const int countries = std::max(1, n_inner / 80);
    const int states = std::max(1, n_inner / 12);
    const int cities = std::max(1, n_inner - 1 - countries - states);
    list.entries.push_back({kRegion, numbered("REGION", l)});
    for (int c = 0, leaves_done = 0; c < cities; ++c) {
      if (c * countries / cities != (c - 1) * countries / cities || c == 0) {
        list.entries.push_back({kCountry, numbered("COUNTRY", country_no++)});
      }
      if (c * states / cities != (c - 1) * states / cities || c == 0) {
        list.entries.push_back({kState, numbered("STATE", state_no++)});
      }
      list.entries.push_back({kCity, numbered("CITY", city_no++)});
      std::vector<NameRef> path;
      for (auto e = list.entries.rbegin(); e != list.entries.rend() && path.size() < 4; ++e) {
        if (path.empty() || e->level < path.back().level) path.push_back(*e);
      }
      base.city_paths.emplace_back(path.rbegin(), path.rend());
      const int until = (c + 1) * n_leaves / cities;
      std::vector<NameRef> city;
      for (; leaves_done < until; ++leaves_done, ++leaf) {
        const int fac = order[static_cast<std::size_t>(leaf % facility_count)];
        const Facility& f = base.builder.facilities()[static_cast<std::size_t>(fac)];
        NameRef ref(leaf_level(f), base.names[static_cast<std::size_t>(fac)], fac);
        // A few entries name no record of the file at all.
        if (leaf % 211 == 105) ref.facility = -1, ref.raw_link = 0x7FFF0001u;
        city.push_back(ref);
      }
      // Highest level first keeps a city's leaves siblings of one another.
      std::stable_sort(city.begin(), city.end(),
                       [](const NameRef& a, const NameRef& b) { return a.level > b.level; });
      list.entries.insert(list.entries.end(), city.begin(), city.end());
    }
  }
}

// Catalogue entries the base gives: the facilities, then every list's head
// and entries.
int catalogue_entries(Base& base) {
  std::size_t n = base.builder.facilities().size();
  for (int l = 0; l < base.lists; ++l)
    n += 1 + base.builder.list(static_cast<std::size_t>(l)).entries.size();
  return static_cast<int>(n);
}

// Where the merge source files its n-th new airport: under a city of the
// base, under a new city of a state of the base, or under a new region.
std::vector<NameRef> merge_path(const Base& base, int n) {
  std::vector<NameRef> path =
      base.city_paths[static_cast<std::size_t>(n * 7919) % base.city_paths.size()];
  if (n % 3 == 1) path.back().name = numbered("NEWCITY", n / 3);
  if (n % 3 == 2) {
    path = {{kRegion, numbered("NEWREGION", n % 5)},
            {kCountry, numbered("NEWCOUNTRY", n % 7)},
            {kState, numbered("NEWSTATE", n % 11)},
            {kCity, numbered("NEWCITY", n)}};
  }
  return path;
}

AfdBuilder make_source(const Base& base, const Mix& m, Random& rnd, bool filed) {
  AfdBuilder src;
  std::vector<int> picks(static_cast<std::size_t>(base.leading_airports));
  for (int i = 0; i < base.leading_airports; ++i) picks[static_cast<std::size_t>(i)] = i;
  rnd.shuffle(picks);
  const int replacements = std::min(base.leading_airports * 3 / 7, 3000);
  std::vector<Facility> out;
  for (int r = 0; r < replacements; ++r) {
    out.push_back(make_airport(
        base.names[static_cast<std::size_t>(picks[static_cast<std::size_t>(r)])], m, rnd));
  }
  for (int n = 0; n < replacements / 10; ++n)
    out.push_back(make_airport(numbered("NEW", n), m, rnd));
  // Navaids are never taken, even under an airport's name.
  for (int n = 0; n < 20 && n < replacements; ++n) {
    out.push_back(
        Facility::vor(base.names[static_cast<std::size_t>(picks[static_cast<std::size_t>(n)])]));
  }
  // Airports behind the base's first navaid are never replaced.
  const std::size_t late_first = static_cast<std::size_t>(base.leading_airports + m.navaids);
  for (std::size_t i = late_first; i < base.names.size(); ++i)
    out.push_back(make_airport(base.names[i], m, rnd));
  rnd.shuffle(out);
  // A merge files the new airports it adds where the source files them.
  afdtest::NameList* list = filed ? &src.add_list() : nullptr;
  for (Facility& f : out) {
    const int index = src.add(std::move(f));
    const std::string& name = *src.facilities().back().name;
    if (list == nullptr || src.facilities().back().subtype != 1 || name.rfind("NEW", 0) != 0)
      continue;
    list->file(merge_path(base, std::atoi(name.c_str() + 4)), {kAirportLevel, name, index});
  }
  return src;
}

// The add-ons of a scenery folder: small files of a few airports each, some
// of which meet the base or one another.
bool write_addons(const Options& o, const Base& base, const Mix& m, Random& rnd) {
  const std::string folder = o.folder + "/addons";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  int fresh = 0;
  std::vector<std::string> added;  // the new names of the add-ons before
  for (int a = 0; a < o.addons; ++a) {
    const std::size_t earlier = added.size();
    AfdBuilder addon;
    afdtest::NameList& list = addon.add_list();
    for (int k = static_cast<int>(rnd.between(1, 20)); k > 0; --k) {
      const int64_t pick = rnd.between(0, 9);
      std::string name;
      if (pick < 2) {
        name = base.names[static_cast<std::size_t>(rnd.between(0, base.leading_airports - 1))];
      } else if (pick == 2 && earlier > 0) {
        name = added[static_cast<std::size_t>(rnd.between(0, static_cast<int64_t>(earlier) - 1))];
      } else {
        name = numbered("ADDON", fresh++);
        added.push_back(name);
      }
      const int index = addon.add(make_airport(name, m, rnd));
      list.file(merge_path(base, static_cast<int>(rnd.between(0, 2999))),
                {kAirportLevel, name, index});
    }
    char file[32];
    std::snprintf(file, sizeof file, "/addon-%03d.bgl", a);
    afdtest::write_file(folder + file, addon.build());
  }
  return true;
}

bool parse(int argc, char** argv, Options* o) {
  if (argc < 2) return false;
  o->folder = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const long long v = std::atoll(argv[i + 1]);
    if (key == "--entries")
      o->entries = static_cast<int>(v);
    else if (key == "--size-mib")
      o->size_mib = v;
    else if (key == "--seed")
      o->seed = static_cast<uint64_t>(v);
    else if (key == "--merge")
      o->merge = v != 0;
    else if (key == "--addons")
      o->addons = static_cast<int>(v);
    else
      return false;
  }
  return (argc % 2) == 0 && o->entries >= 40 && o->entries <= kCapacity && o->size_mib >= 0 &&
         o->addons >= 0 && (o->addons == 0 || o->merge);
}

}  // namespace

// Writes the pair (and, for the first pair, names.txt) under `prefix`.
bool write_pair(const Options& o, const std::string& prefix, bool filed) {
  Random rnd(o.seed + (filed ? 1 : 0));
  const Mix m = choose_mix(o);
  Base base;
  add_facilities(base, m, rnd);
  add_name_lists(base, m, rnd);
  if (catalogue_entries(base) != o.entries) {
    std::fprintf(stderr, "make_bench_files: %d entries instead of %d\n", catalogue_entries(base),
                 o.entries);
    return false;
  }
  {
    const Bytes bytes = base.builder.build();
    afdtest::write_file(o.folder + "/" + prefix + "base.bgl", bytes);
  }
  afdtest::write_file(o.folder + "/" + prefix + "source.bgl",
                      make_source(base, m, rnd, filed).build());
  if (filed) return write_addons(o, base, m, rnd);
  std::ofstream names(o.folder + "/names.txt");
  for (int k = 0; k < kExtractNames; ++k) {
    names << base.names[static_cast<std::size_t>(rnd.between(0, base.leading_airports - 1))]
          << '\n';
  }
  return static_cast<bool>(names);
}

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: make_bench_files <folder> [--entries 40..20000] [--size-mib M] "
                 "[--seed S] [--merge 1] [--addons N]\n");
    return 2;
  }
  if (!write_pair(o, "", false)) return 1;
  if (!o.merge) return 0;
  Options room = o;
  room.entries = o.entries - o.entries / 10;
  return write_pair(room, "merge-", true) ? 0 : 1;
}
