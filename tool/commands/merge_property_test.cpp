// The merge's promises over generated sets of sound files.
//  - One source: each result is read back (-J) with the level rule and held
//    against a model of the filing rules, which tries every spot of a list for
//    each new entry; it is sound again, its bounds cover its airports, and a
//    second merge changes nothing.
//  - A source that only replaces airports gives the link's bytes, but for the
//    stamp and the bounds the replaced airports widened.
//  - Several sources: the bytes of the chain of single merges, but for the
//    stamp at 128..143, and the chain's report lines, each source's under its
//    `from` line, with the conflicts counted.
#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/positions.h"
#include "pair_maker.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;
using afdtest::PairMaker;

// A facility of a result, by kind and name; a place, by level and name.
using Key = std::pair<int32_t, std::string>;
using Places = std::vector<Key>;

struct Entry {
  int32_t level;
  std::string name;
  std::optional<Key> files;
  bool operator==(const Entry&) const = default;
};
using List = std::vector<Entry>;

// Each entry's parent by the level rule: the nearest earlier entry of a
// smaller level; -1, the head.
std::vector<int> parents(const List& list) {
  std::vector<int> parent(list.size());
  std::vector<int> open;
  for (std::size_t i = 0; i < list.size(); ++i) {
    while (!open.empty() && list[static_cast<std::size_t>(open.back())].level >= list[i].level) {
      open.pop_back();
    }
    parent[i] = open.empty() ? -1 : open.back();
    open.push_back(static_cast<int>(i));
  }
  return parent;
}

// The places above entry `i` (their indexes, top first), and its depth.
std::vector<int> places_of(const List& list, const std::vector<int>& parent, int i, int* depth) {
  std::vector<int> places;
  *depth = 1;
  for (int p = parent[static_cast<std::size_t>(i)]; p >= 0;
       p = parent[static_cast<std::size_t>(p)]) {
    ++*depth;
    if (list[static_cast<std::size_t>(p)].level < kAirport) places.insert(places.begin(), p);
  }
  return places;
}

// --- the model of the filing ------------------------------------------------

struct Match {
  int list = -1;
  int node = -1;  // -1: the head
  int depth = 0;
};

void follow(const List& list, const std::vector<int>& parent, const Places& places, int l, int node,
            int depth, Match* best) {
  if (depth > best->depth) *best = Match{l, node, depth};
  if (depth == static_cast<int>(places.size())) return;
  for (std::size_t c = 0; c < list.size(); ++c) {
    if (parent[c] == node &&
        Key(list[c].level, list[c].name) == places[static_cast<std::size_t>(depth)]) {
      follow(list, parent, places, l, static_cast<int>(c), depth + 1, best);
    }
  }
}

// Puts `block` (the places missing under `place`, then the facility's entry)
// into `list` at the last spot where the level rule files it under `place` and
// its facility entries, takes no entry from its parent, and nests no deeper
// than the extract follows; or, when no spot is that shallow, at the last of
// the shallowest.
// Returns whether the depth moved it from the last spot.
bool insert_block(List& list, int place, const List& block) {
  const std::vector<int> before = parents(list);
  int chain_depth = 0;
  std::vector<int> chain =
      place < 0 ? std::vector<int>{} : places_of(list, before, place, &chain_depth);
  if (place >= 0) chain.push_back(place);
  int best = -1, last = -1, shallow = -1, shallow_depth = 1 << 30;
  const int n = static_cast<int>(block.size());
  for (int k = 0; k <= static_cast<int>(list.size()); ++k) {
    List tried = list;
    tried.insert(tried.begin() + k, block.begin(), block.end());
    const std::vector<int> after = parents(tried);
    const auto moved = [&](int j) { return j < 0 ? j : j < k ? j : j + n; };
    bool keeps = true;
    for (int j = 0; j < static_cast<int>(list.size()) && keeps; ++j) {
      keeps =
          after[static_cast<std::size_t>(moved(j))] == moved(before[static_cast<std::size_t>(j)]);
    }
    if (!keeps) continue;
    std::vector<int> wanted(chain.size());
    std::transform(chain.begin(), chain.end(), wanted.begin(), moved);
    for (int b = 0; b + 1 < n; ++b) wanted.push_back(k + b);
    int depth = 0;
    if (places_of(tried, after, k + n - 1, &depth) != wanted) continue;
    last = k;
    if (depth <= 6) best = k;
    if (depth <= shallow_depth) shallow = k, shallow_depth = depth;
  }
  EXPECT_GE(shallow, 0) << "no spot at all";
  const int k = best >= 0 ? best : shallow;
  list.insert(list.begin() + std::max(k, 0), block.begin(), block.end());
  return k != last;
}

// The lists a merge of `source` into `base` writes, as the rules say.
struct Outcome {
  std::vector<List> lists;
  int replaced = 0, added = 0, left_out = 0, made = 0, kept_shallow = 0;
};

Key key_of(const Facility& f) { return {f.subtype, *f.name}; }

List list_of(const AfdBuilder& b, std::size_t i) {
  List list;
  for (const NameRef& e : b.list(i).entries) {
    std::optional<Key> files;
    if (e.facility >= 0) files = key_of(b.facilities()[static_cast<std::size_t>(e.facility)]);
    list.push_back({e.level, e.name, files});
  }
  return list;
}

Outcome model(const AfdBuilder& base, const AfdBuilder& from) {
  Outcome out;
  std::set<Key> in_base;
  for (const Facility& f : base.facilities()) in_base.insert(key_of(f));
  const std::vector<Facility>& source = from.facilities();
  // The last of each kind and name replaces, or is added.
  std::map<Key, std::size_t> winner;
  std::set<Key> replacing;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (in_base.count(key_of(source[i])) != 0) {
      replacing.insert(key_of(source[i]));
    } else {
      winner[key_of(source[i])] = i;
    }
  }
  out.replaced = static_cast<int>(replacing.size());
  out.added = static_cast<int>(winner.size());
  out.left_out = static_cast<int>(source.size()) - out.replaced - out.added;
  // Each added facility's entry: its own first, or the first of one it overrides.
  std::map<std::size_t, std::pair<Entry, Places>> own, overridden;
  for (std::size_t l = 0; l < from.list_count(); ++l) {
    const List list = list_of(from, l);
    const std::vector<int> parent = parents(list);
    for (std::size_t e = 0; e < list.size(); ++e) {
      const int f = from.list(l).entries[e].facility;
      if (f < 0 || winner.count(*list[e].files) == 0) continue;
      const std::size_t w = winner[*list[e].files];
      int depth = 0;
      Places places;
      for (const int p : places_of(list, parent, static_cast<int>(e), &depth)) {
        places.emplace_back(list[static_cast<std::size_t>(p)].level,
                            list[static_cast<std::size_t>(p)].name);
      }
      (static_cast<std::size_t>(f) == w ? own : overridden)
          .emplace(w, std::make_pair(list[e], places));
    }
  }
  for (std::size_t l = 0; l < base.list_count(); ++l) out.lists.push_back(list_of(base, l));
  int loose = -1;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const Key key = key_of(source[i]);
    if (winner.count(key) == 0 || winner[key] != i) continue;
    const auto found = own.count(i) != 0 ? own.find(i) : overridden.find(i);
    if (found == overridden.end()) continue;
    const Places& places = found->second.second;
    Match match;
    for (int l = 0; l < static_cast<int>(out.lists.size()) && !places.empty(); ++l) {
      if (l == loose) continue;
      const List& list = out.lists[static_cast<std::size_t>(l)];
      follow(list, parents(list), places, l, -1, 0, &match);
    }
    if (places.empty() && loose < 0) loose = static_cast<int>(out.lists.size());
    if (places.empty()) match.list = loose;
    if (match.list < 0) match.list = static_cast<int>(out.lists.size());
    if (match.list == static_cast<int>(out.lists.size())) out.lists.emplace_back();
    List block;
    for (std::size_t d = static_cast<std::size_t>(match.depth); d < places.size(); ++d) {
      block.push_back({places[d].first, places[d].second, std::nullopt});
    }
    block.push_back({found->second.first.level, found->second.first.name, key});
    out.made += static_cast<int>(block.size());
    out.kept_shallow +=
        insert_block(out.lists[static_cast<std::size_t>(match.list)], match.node, block);
  }
  return out;
}

// --- the files ----------------------------------------------------------------

struct FileSet {
  AfdBuilder base;
  std::vector<AfdBuilder> sources;
};

// A sound base of up to 20 airports and a few VORs and NDBs, and `count`
// sources that meet it and one another: facilities of the files before, some
// airports moved (maybe beyond the base's bounds), some taken twice; new
// airports from a small pool of names, some alike but for case and some a few
// metres from another; navaids from small pools of names, so that a later
// source replaces what an earlier one added.
FileSet make_set(PairMaker& m, int count) {
  FileSet set;
  const int airports = 1 + m.below(20), vors = m.below(4), ndbs = m.below(3);
  for (int i = 0; i < airports; ++i) set.base.add(m.airport(afdtest::numbered("A", i)));
  for (int i = 0; i < vors; ++i) set.base.add(Facility::vor(afdtest::numbered("V", i)));
  for (int i = 0; i < ndbs; ++i) set.base.add(Facility::ndb(afdtest::numbered("N", i)));
  m.file(set.base);
  std::vector<Facility> seen = set.base.facilities();
  const auto any_seen = [&] {
    return seen[static_cast<std::size_t>(m.below(static_cast<int>(seen.size())))];
  };
  for (int n = 0; n < count; ++n) {
    // The airports ahead of the navaids, as a link would find them.
    AfdBuilder& source = set.sources.emplace_back();
    std::vector<Facility> navaids;
    const auto take = [&](const Facility& f) {
      if (f.subtype != 1) navaids.push_back(f);
      if (f.subtype == 1) source.add(f);
    };
    for (int i = m.below(1 + static_cast<int>(seen.size()) / 2); i > 0; --i) {
      const Facility f = any_seen();
      take(f.subtype == 1 && m.below(3) == 0 ? m.airport(*f.name) : f);
    }
    for (int i = m.below(6); i > 0; --i) {
      const std::string name = afdtest::numbered(m.below(6) == 0 ? "x" : "X", m.below(8));
      const Facility by = any_seen();
      take(m.below(4) == 0 && by.position
               ? Facility::airport(name, by.position->first + m.below(200),
                                   by.position->second + m.below(200), m.below(4) == 0)
               : m.airport(name));
    }
    for (int i = m.below(5); i > 0; --i) take(Facility::vor(afdtest::numbered("V", m.below(6))));
    for (int i = m.below(5); i > 0; --i) take(Facility::ndb(afdtest::numbered("N", m.below(5))));
    if (m.below(40) == 0) {  // now and then a source without facilities
      source.facilities().clear();
      navaids.clear();
    }
    for (const Facility& f : navaids) source.add(f);
    m.file(source);
    seen.insert(seen.end(), source.facilities().begin(), source.facilities().end());
  }
  return set;
}

// --- the runs -------------------------------------------------------------------

class MergePropertyTest : public ToolTest {
 protected:
  static std::string check(const std::string& path) {
    std::string report;
    run_command({"-V", path}, &report);
    return report;
  }
};

using Json = nlohmann::json;

int32_t level_code(const Json& level) {
  static const std::map<std::string, int32_t> kCodes = {
      {"region", kRegion},   {"country", kCountry}, {"state", kState}, {"city", kCity},
      {"airport", kAirport}, {"vor", kVor},         {"ndb", kNdb}};
  return level.is_string() ? kCodes.at(level.get<std::string>()) : level.get<int32_t>();
}

std::vector<List> lists_of(const Json& doc) {
  std::map<int64_t, Key> at;
  for (const Json& f : doc.at("facilities")) {
    at[f.at("offset").get<int64_t>()] = {f.at("subtype").get<int32_t>(),
                                         f.at("name").get<std::string>()};
  }
  std::vector<List> lists;
  for (const Json& l : doc.at("name_lists")) {
    List& list = lists.emplace_back();
    for (const Json& e : l.at("entries")) {
      std::optional<Key> files;
      if (!e.at("facility").is_null()) files = at.at(e.at("facility").get<int64_t>());
      list.push_back({level_code(e.at("level")), e.at("name").get<std::string>(), files});
    }
  }
  return lists;
}

bool covers(const Json& box, const Json& lat, const Json& lon) {
  return box.at("lat_max") >= lat && box.at("lat_min") <= lat && box.at("lon_max") >= lon &&
         box.at("lon_min") <= lon;
}

bool covers_box(const Json& outer, const Json& inner) {
  return covers(outer, inner.at("lat_max"), inner.at("lon_max")) &&
         covers(outer, inner.at("lat_min"), inner.at("lon_min"));
}

// A file's bytes without the stamp, and with the boxes at the offsets given cleared.
Bytes unstamped(const std::string& path, std::initializer_list<std::size_t> boxes = {}) {
  Bytes b = afdtest::without_stamp(afdtest::read_file(path));
  for (const std::size_t at : boxes) std::fill_n(b.begin() + static_cast<long>(at), 16, 0);
  return b;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

constexpr int kPairs = 300;

TEST_F(MergePropertyTest, FilesAsTheRulesSayAndKeepsItsPromises) {
  int merged = 0, added = 0, left_out = 0, made = 0, new_lists = 0, shallow = 0;
  for (int seed = 1; seed <= kPairs; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    PairMaker m(static_cast<uint64_t>(seed));
    const FileSet set = make_set(m, 1);
    const AfdBuilder& from = set.sources[0];
    const std::string base = put("base.bgl", set.base.build());
    const std::string source = put("source.bgl", from.build());
    ASSERT_EQ(check(base), "no problems found\n");
    std::string report;
    const int rc = merge(base, {source}, dir.file("m1.bgl"), &report);
    if (from.facilities().empty()) {
      EXPECT_EQ(rc, kExitNoMatch);
      continue;
    }
    ASSERT_EQ(rc, kExitOk);
    ++merged;

    // The lists are the model's, entry for entry: each added facility has
    // one entry, under its source places, nested no deeper than the rules let.
    const Outcome want = model(set.base, from);
    char counts[64];
    std::snprintf(counts, sizeof counts, "%d replaced, %d added, %d left out\n", want.replaced,
                  want.added, want.left_out);
    EXPECT_TRUE(report.ends_with(counts)) << report;
    Json doc = parsed_listing(dir.file("m1.bgl"));
    const std::vector<List> got = lists_of(doc);
    EXPECT_EQ(got, want.lists);
    added += want.added;
    left_out += want.left_out;
    made += want.made;
    shallow += want.kept_shallow;
    new_lists += static_cast<int>(got.size() - set.base.list_count());

    // Sound, with bounds that cover the airports and never shrink.
    EXPECT_EQ(check(dir.file("m1.bgl")), "no problems found\n");
    Json base_doc = parsed_listing(base);
    EXPECT_TRUE(covers_box(doc["header"]["bounds"], base_doc["header"]["bounds"]));
    EXPECT_TRUE(covers_box(doc["trailer"]["bounds"], base_doc["trailer"]["bounds"]) ||
                base_doc["trailer"]["bounds"]["lat_max"] < -2147483647.0);
    for (const Json& f : doc["facilities"]) {
      if (f.at("subtype") != 1) continue;
      EXPECT_TRUE(covers(doc["header"]["bounds"], f.at("lat_raw"), f.at("lon_raw")));
      if (f.at("ai").get<bool>()) {
        EXPECT_TRUE(covers(doc["trailer"]["bounds"], f.at("lat_raw"), f.at("lon_raw")));
      }
    }

    // A second merge adds nothing and writes the same bytes.
    ASSERT_EQ(merge(dir.file("m1.bgl"), {source}, dir.file("m2.bgl"), &report), kExitOk);
    EXPECT_NE(report.find(" 0 added, "), std::string::npos) << report;
    EXPECT_EQ(unstamped(dir.file("m1.bgl")), unstamped(dir.file("m2.bgl")));
  }
  std::printf(
      "[ figures  ] %d pairs, %d merged: %d facilities added, %d left out, %d entries made, %d "
      "new lists; %d kept from the last spot by the depth\n",
      kPairs, merged, added, left_out, made, new_lists, shallow);
  EXPECT_GT(merged, kPairs * 3 / 4);
}

CoverageBox box_at(const Bytes& file, std::size_t at) {
  const afdtest::Box b = afdtest::box_at(file, at);
  return {b.lat_max, b.lat_min, b.lon_max, b.lon_min};
}

// A source of base airports, some moved and some marked AI anew: the link's
// bytes, but for the stamp at 128..143 and the bounds, which grow by exactly
// the replacing airports.
TEST_F(MergePropertyTest, ReplacingOnlyAirportsWritesTheLinksBytesButForWidenedBounds) {
  int runs = 0, widened = 0;
  for (int seed = 1; seed <= kPairs; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    PairMaker m(static_cast<uint64_t>(seed) + kPairs);
    const AfdBuilder base = make_set(m, 0).base;
    AfdBuilder source;
    CoverageBox grown = kEmptyBox, grown_ai = kEmptyBox;
    for (const Facility& f : base.facilities()) {
      if (f.subtype != 1 || m.below(2) == 0) continue;
      const Facility& taken =
          source.facilities().emplace_back(m.below(3) == 0 ? m.airport(*f.name) : f);
      log_bounds0(grown, taken.position->first, taken.position->second);
      if (taken.ai) log_bounds0(grown_ai, taken.position->first, taken.position->second);
    }
    if (source.facilities().empty()) continue;
    m.file(source);
    put("base.bgl", base.build());
    put("source.bgl", source.build());
    const std::vector<std::string> in = {dir.file("base.bgl"), dir.file("source.bgl")};
    std::string report;
    ASSERT_EQ(merge(in[0], {in[1]}, dir.file("m3.bgl"), &report), kExitOk);
    ASSERT_EQ(run_command({"-R", in[0], in[1], dir.file("r3.bgl")}), kExitOk);
    const Bytes merged = afdtest::read_file(dir.file("m3.bgl"));
    const Bytes linked = afdtest::read_file(dir.file("r3.bgl"));
    ASSERT_EQ(merged.size(), linked.size());
    const std::size_t trailer = afdtest::get32(linked, 70) + 4;
    CoverageBox header = box_at(linked, 2), ai = box_at(linked, trailer);
    log_box(header, grown);
    log_box(ai, grown_ai);
    EXPECT_EQ(box_at(merged, 2), header);
    EXPECT_EQ(box_at(merged, trailer), ai);
    widened += box_at(merged, 2) != box_at(linked, 2) ||
               box_at(merged, trailer) != box_at(linked, trailer);
    EXPECT_EQ(unstamped(dir.file("m3.bgl"), {2, trailer}),
              unstamped(dir.file("r3.bgl"), {2, trailer}));
    ++runs;
  }
  std::printf(
      "[ figures  ] %d replace-only merges: the link's bytes in all, bounds widened in %d\n", runs,
      widened);
  EXPECT_GT(runs, kPairs / 2);
}

constexpr int kSets = 150;

TEST_F(MergePropertyTest, SeveralSourcesMergeAsTheChainOfSingleMergesDoes) {
  int merged = 0, sources_total = 0, conflicts = 0, replaced = 0, added = 0, left_out = 0;
  int alike = 0, near = 0, empty = 0;
  for (int seed = 1; seed <= kSets; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    PairMaker m(static_cast<uint64_t>(seed) + 7000);
    const FileSet set = make_set(m, 2 + m.below(7));
    const std::string base = put("base.bgl", set.base.build());
    std::vector<std::string> paths;
    for (std::size_t k = 0; k < set.sources.size(); ++k) {
      paths.push_back(
          put(afdtest::numbered("s", k) + ".bgl", set.sources[k].build()));
    }
    // The chain: each run's output is the next one's base; a source without
    // facilities ends its run with 5, and the chain goes on without it.
    std::string chain = base;
    std::vector<std::string> chain_lines;
    int chain_replaced = 0, chain_added = 0, chain_left_out = 0;
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const std::string next = dir.file(afdtest::numbered("c", k) + ".bgl");
      std::string report;
      const int rc = merge(chain, {paths[k]}, next, &report);
      if (rc == kExitNoMatch) {
        ++empty;
        continue;
      }
      ASSERT_EQ(rc, kExitOk) << report;
      chain = next;
      std::vector<std::string> lines = lines_of(report);
      int r = 0, a = 0, l = 0;
      ASSERT_EQ(std::sscanf(lines.back().c_str(), "%d replaced, %d added, %d left out", &r, &a, &l),
                3);
      chain_replaced += r, chain_added += a, chain_left_out += l;
      chain_lines.insert(chain_lines.end(), lines.begin(), lines.end() - 1);
    }
    std::string report;
    const int rc = merge(base, paths, dir.file("batch.bgl"), &report);
    if (chain == base) {
      EXPECT_EQ(rc, kExitNoMatch);
      continue;
    }
    ASSERT_EQ(rc, kExitOk) << report;
    ++merged;
    sources_total += static_cast<int>(paths.size());
    EXPECT_EQ(unstamped(dir.file("batch.bgl")), unstamped(chain));

    // The same lines, less the from lines and the notes of conflicts.
    std::vector<std::string> lines = lines_of(report);
    std::vector<std::string> batch_lines;
    std::size_t from = 0;
    int over = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      std::string line = lines[i];
      if (line.starts_with("from ")) {
        EXPECT_EQ(line, "from " + paths[from++] + ":");
        continue;
      }
      const std::size_t note = line.find(" (over ");
      if (line.starts_with("replaced: ") && note != std::string::npos) {
        ++over;
        line.erase(note);
      }
      batch_lines.push_back(line);
      alike += line.find("; names are compared exactly") != std::string::npos;
      near += line.starts_with("added: ") && line.find(" from ") != std::string::npos;
    }
    EXPECT_EQ(from, paths.size());
    EXPECT_EQ(batch_lines, chain_lines);
    char totals[96];
    std::snprintf(totals, sizeof totals, "%d replaced, %d added, %d left out, %d conflicts",
                  chain_replaced, chain_added, chain_left_out, over);
    EXPECT_EQ(lines.back(), totals);
    conflicts += over, replaced += chain_replaced, added += chain_added;
    left_out += chain_left_out;
  }
  std::printf(
      "[ figures  ] %d sets of 2 to 8 sources, %d merged (%d sources, %d without facilities): "
      "the chain's bytes and lines in all; %d replaced (%d over an earlier source's), %d added, "
      "%d left out; %d added with a name alike noted, %d with an airport near\n",
      kSets, merged, sources_total, empty, replaced, conflicts, added, left_out, alike, near);
  EXPECT_GT(merged, kSets * 3 / 4);
  EXPECT_GT(conflicts, kSets);
}

}  // namespace
}  // namespace quarnel::testing
