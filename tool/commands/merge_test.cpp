// The merge command: a table of scenarios, each against the -L tree of its
// result, and the merge's three promises over generated pairs.
#include <algorithm>
#include <map>
#include <sstream>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;
using Path = std::vector<NameRef>;

struct Filed {
  Facility facility;
  Path path;  // empty: the source files it nowhere
};

Path path(const std::vector<std::string>& names) {
  static constexpr int32_t kLevels[] = {kRegion, kCountry, kState, kCity};
  Path p;
  for (const std::string& n : names) p.emplace_back(kLevels[p.size()], n);
  return p;
}

int32_t entry_level(const Facility& f) {
  return f.subtype == 1 ? kAirport : f.subtype == 2 ? kVor : kNdb;
}

AfdBuilder filed_file(const std::vector<Filed>& facilities) {
  AfdBuilder b;
  afdtest::NameList* list = nullptr;
  for (const Filed& f : facilities) {
    const int index = b.add(f.facility);
    if (f.path.empty()) continue;
    if (list == nullptr) list = &b.add_list();
    list->file(f.path, NameRef(entry_level(f.facility), *f.facility.name, index));
  }
  return b;
}

// Two airports and two navaids filed under EUROPE › GERMANY in two lists, and
// an airport behind the first VOR. The last list's size is 0, which ends the
// chain: a list added behind it must not be cut off by it.
AfdBuilder small_base() {
  AfdBuilder b;
  const int ham = b.add(Facility::airport("HAMBURG", 100, 100));
  const int fra = b.add(Facility::airport("FRANKFURT MAIN", 50, 90, true));
  const int vor = b.add(Facility::vor("HAMBURG VOR"));
  b.add(Facility::ndb("BREMEN NDB"));
  b.add(Facility::airport("LUEBECK", 110, 105));
  b.add_list().file(path({"EUROPE", "GERMANY", "HAMBURG", "HAMBURG"}), {kAirport, "HAMBURG", ham});
  b.list(0).entries.emplace_back(kVor, "HAMBURG VOR", vor);
  b.add_list().file(path({"EUROPE", "GERMANY", "HESSEN", "FRANKFURT"}),
                    {kAirport, "FRANKFURT MAIN", fra});
  b.list(1).size_override = 0;
  return b;
}

class MergeTest : public ToolTest {
 protected:
  // Runs the merge in-process; fills `report` with what it printed.
  int merge(const std::string& base, const std::string& source, const std::string& out,
            std::string* report = nullptr) {
    rs.reset();
    rs.first_input_path = base;
    rs.second_input_path = source;
    rs.output_path = out;
    afdtest::CapturedStdout captured;
    const int rc = run_merge(rs);
    if (report != nullptr) *report = captured.text();
    return rc;
  }

  // Whether -V finds no problem in `path`.
  static bool clean(const std::string& path) { return run_on(run_check, path) == kExitOk; }

  // A fresh run of `command` on `path`: its ExitCode, and what it printed.
  static int run_on(int (*command)(RunState&, const std::string&), const std::string& path,
                    std::string* out = nullptr) {
    RunState fresh;
    EXPECT_TRUE(fresh.allocate());
    afdtest::CapturedStdout captured;
    const int rc = command(fresh, path);
    if (out != nullptr) *out = captured.text();
    return rc;
  }

  // The -L listing of `path`: the facilities on one line, then the name
  // lists, each link shown as the name of its facility where that differs
  // from the entry's.
  std::string tree(const std::string& path) {
    std::string listing;
    EXPECT_EQ(run_on(run_list, path, &listing), kExitOk);
    std::istringstream lines(listing);
    constexpr std::size_t kNameColumn = 48;
    std::map<std::string, std::string> at;  // "0x0000A8" -> name
    std::string line;
    std::string facilities = "facilities:";
    std::string lists;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
      if (line.rfind("0x", 0) == 0) {
        at[line.substr(0, 8)] = line.substr(kNameColumn);
        facilities += " " + line.substr(kNameColumn) + ",";
      } else if (line.rfind("NameList", 0) == 0) {
        lists += "NameList\n";
      } else if (line.rfind(" ", 0) == 0) {
        const std::size_t arrow = line.find("  -> ");
        const std::size_t name_at = 19;
        if (arrow != std::string::npos) {
          const std::string target = at[line.substr(line.rfind(' ') + 1)];
          const std::string name = line.substr(name_at, arrow - name_at);
          line = line.substr(0, arrow) + (target == name ? "" : " -> " + target);
        }
        lists += line + "\n";
      }
    }
    return facilities + "\n" + lists;
  }
};

struct Scenario {
  const char* name;
  std::vector<Filed> source;
  const char* report;  // @N stands for the offset of the source's facility N
  std::string tree;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

const std::string kHamburgList = R"(NameList
  Region:          EUROPE
    Country:       GERMANY
      State:       HAMBURG
        City:      HAMBURG
          Airport: HAMBURG
          VOR:     HAMBURG VOR
)";
const std::string kHessenList = R"(NameList
  Region:          EUROPE
    Country:       GERMANY
      State:       HESSEN
        City:      FRANKFURT
          Airport: FRANKFURT MAIN
)";

const std::vector<Scenario>& scenarios() {
  static const auto* table = new std::vector<Scenario>{
      {"FullPathFound",
       {{Facility::airport("EGELSBACH", 49, 86),
         path({"EUROPE", "GERMANY", "HESSEN", "FRANKFURT"})}},
       "added: EGELSBACH\n0 replaced, 1 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, EGELSBACH, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" +
           kHamburgList + kHessenList + "          Airport: EGELSBACH\n"},
      // HESSEN goes deepest in the second list; BAYERN ties, and the first wins.
      {"PartOfAPathFound",
       {{Facility::airport("KASSEL", 51, 94), path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"})},
        {Facility::airport("MUENCHEN", 48, 117),
         path({"EUROPE", "GERMANY", "BAYERN", "MUENCHEN"})}},
       "added: KASSEL\nadded: MUENCHEN\n0 replaced, 2 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, KASSEL, MUENCHEN, HAMBURG VOR, BREMEN NDB, "
       "LUEBECK,\n" +
           kHamburgList +
           "      State:       BAYERN\n"
           "        City:      MUENCHEN\n"
           "          Airport: MUENCHEN\n" +
           kHessenList +
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"},
      {"NewRegion",
       {{Facility::airport("HANEDA", 35, 139), path({"ASIA", "JAPAN", "TOKYO", "TOKYO"})}},
       "added: HANEDA\n0 replaced, 1 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, HANEDA, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" +
           kHamburgList + kHessenList +
           "NameList\n"
           "  Region:          ASIA\n"
           "    Country:       JAPAN\n"
           "      State:       TOKYO\n"
           "        City:      TOKYO\n"
           "          Airport: HANEDA\n"},
      {"TwoNewAirportsInOneNewCity",
       {{Facility::airport("KASSEL", 51, 94), path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"})},
        {Facility::airport("CALDEN", 51, 93), path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"})}},
       "added: KASSEL\nadded: CALDEN\n0 replaced, 2 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, KASSEL, CALDEN, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" +
           kHamburgList + kHessenList +
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"
           "          Airport: CALDEN\n"},
      {"NavaidReplacedAndOneAdded",
       {{Facility::vor("HAMBURG VOR"), path({"EUROPE", "GERMANY", "HAMBURG", "HAMBURG"})},
        {Facility::ndb("KASSEL NDB"), path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"})}},
       "replaced: HAMBURG VOR\nadded: KASSEL NDB\n1 replaced, 1 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, HAMBURG VOR, BREMEN NDB, LUEBECK, KASSEL NDB,\n" +
           kHamburgList + kHessenList +
           "        City:      KASSEL\n"
           "          NDB:     KASSEL NDB\n"},
      {"DuplicateInTheSource",
       {{Facility::airport("KASSEL", 51, 94), path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"})},
        {Facility::airport("KASSEL", 51, 93), path({"EUROPE", "GERMANY", "HESSEN", "CALDEN"})}},
       "left out: KASSEL (the later airport of this name at @1 replaces it)\nadded: KASSEL\n"
       "0 replaced, 1 added, 1 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, KASSEL, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" +
           kHamburgList + kHessenList +
           "        City:      CALDEN\n"
           "          Airport: KASSEL\n"},
      {"AirportBehindTheFirstVor",
       {{Facility::airport("LUEBECK", 110, 106), path({"EUROPE", "GERMANY", "SH", "LUEBECK"})}},
       "left out: LUEBECK (the base's airport of this name stands behind its first VOR or NDB, "
       "where no link finds it; quarnel -V lists it)\n0 replaced, 0 added, 1 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" + kHamburgList +
           kHessenList},
      {"FacilityWithoutAnEntry",
       {{Facility::airport("SYLT", 120, 100), {}}},
       "added: SYLT (no name entry)\n0 replaced, 1 added, 0 left out\n",
       "facilities: HAMBURG, FRANKFURT MAIN, SYLT, HAMBURG VOR, BREMEN NDB, LUEBECK,\n" +
           kHamburgList + kHessenList},
  };
  return *table;
}

class MergeScenario : public MergeTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(MergeScenario, ReportsAndFilesAsExpected) {
  const Scenario& s = GetParam();
  afdtest::Layout layout;
  const Bytes source = filed_file(s.source).build(&layout);
  put("base.bgl", small_base().build());
  put("source.bgl", source);
  std::string report;
  ASSERT_EQ(merge(dir.file("base.bgl"), dir.file("source.bgl"), dir.file("out.bgl"), &report),
            kExitOk);
  std::string expected = s.report;
  for (std::size_t at; (at = expected.find('@')) != std::string::npos;) {
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%06X",
                  layout.facility_offsets[static_cast<std::size_t>(expected[at + 1] - '0')]);
    expected.replace(at, 2, offset);
  }
  EXPECT_EQ(report, expected);
  EXPECT_EQ(tree(dir.file("out.bgl")), s.tree);
}

INSTANTIATE_TEST_SUITE_P(Table, MergeScenario, ::testing::ValuesIn(scenarios()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MergeTest, WritesNothingForASourceWithoutFacilitiesOrAResultTooLarge) {
  put("none.bgl", AfdBuilder().build());
  // A base one record short of the Catalogue's capacity takes one more.
  put("full.bgl", afdtest::numbered_airports(static_cast<int>(kCatalogueCapacity) - 1).build());
  AfdBuilder source;
  source.add(Facility::airport("A7", 7, 7));
  source.add(Facility::airport("NEW1", 8, 8));
  put("one.bgl", source.build());
  source.add(Facility::airport("NEW2", 9, 9));
  put("two.bgl", source.build());
  std::string report;
  EXPECT_EQ(merge(dir.file("full.bgl"), dir.file("none.bgl"), dir.file("x.bgl"), &report),
            kExitNoMatch);
  EXPECT_EQ(report, "");
  EXPECT_EQ(merge(dir.file("full.bgl"), dir.file("one.bgl"), dir.file("out.bgl")), kExitOk);
  EXPECT_EQ(merge(dir.file("full.bgl"), dir.file("two.bgl"), dir.file("x.bgl"), &report),
            kExitTooManyRecords);
  EXPECT_EQ(report,
            "too many records: the merged file would hold more than the tool can catalogue "
            "(20000 records)\n");
  EXPECT_EQ(dir.entries(),
            (std::vector<std::string>{"full.bgl", "none.bgl", "one.bgl", "out.bgl", "two.bgl"}));
}

// Pairs on which -V finds no problem: airports of distinct names before the
// navaids, every facility but a few filed under a path drawn from a small
// vocabulary, so that the paths of base and source meet in part, in whole or
// not at all.
class PairMaker {
 public:
  explicit PairMaker(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull | 1) {}

  int below(int n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<int>(state_ % static_cast<uint64_t>(n));
  }

  // Airports, VORs and NDBs of the names given, in that order, filed in one
  // to three lists.
  AfdBuilder make(const std::vector<std::string>& airports, const std::vector<std::string>& vors,
                  const std::vector<std::string>& ndbs) {
    AfdBuilder b;
    struct Item {
      std::vector<std::string> path;  // region, country, state, city
      int facility;
    };
    std::vector<std::vector<Item>> lists(static_cast<std::size_t>(1 + below(3)));
    const auto add = [&](const Facility& f) {
      const int index = b.add(f);
      if (below(8) == 0) return;
      // Braced lists run left to right: the draws come in one order everywhere.
      std::vector<std::string> p = {
          afdtest::numbered("R", below(2)), afdtest::numbered("C", below(3)),
          afdtest::numbered("S", below(4)), afdtest::numbered("T", below(6))};
      lists[static_cast<std::size_t>(below(static_cast<int>(lists.size())))].push_back({p, index});
    };
    for (const std::string& n : airports)
      add(Facility::airport(n, below(1000), below(1000), below(4) == 0));
    for (const std::string& n : vors) add(Facility::vor(n));
    for (const std::string& n : ndbs) add(Facility::ndb(n));
    for (std::vector<Item>& items : lists) {
      // Depth-first order: the items of one path stand together.
      std::stable_sort(items.begin(), items.end(),
                       [](const Item& x, const Item& y) { return x.path < y.path; });
      afdtest::NameList& list = b.add_list();
      for (const Item& item : items) {
        const Facility& f = b.facilities()[static_cast<std::size_t>(item.facility)];
        list.file(path(item.path), NameRef(entry_level(f), *f.name, item.facility));
      }
    }
    return b;
  }

  static std::vector<std::string> names(const char* prefix, int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back(afdtest::numbered(prefix, i));
    return v;
  }

  // Some of `from`, in a random order.
  std::vector<std::string> some_of(std::vector<std::string> from) {
    for (std::size_t i = from.size(); i > 1; --i)
      std::swap(from[i - 1], from[static_cast<std::size_t>(below(static_cast<int>(i)))]);
    from.resize(static_cast<std::size_t>(below(static_cast<int>(from.size()) + 1)));
    return from;
  }

 private:
  uint64_t state_;
};

constexpr int kPairs = 120;

TEST_F(MergeTest, PromisesHoldOverGeneratedPairs) {
  int merged = 0, byte_equal = 0, idempotent = 0;
  for (int seed = 1; seed <= kPairs; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    PairMaker m(static_cast<uint64_t>(seed));
    const std::vector<std::string> base_airports = m.names("A", 1 + m.below(20));
    const std::vector<std::string> base_vors = m.names("V", m.below(4));
    const std::vector<std::string> base_ndbs = m.names("N", m.below(3));
    put("base.bgl", m.make(base_airports, base_vors, base_ndbs).build());
    std::vector<std::string> airports = m.some_of(base_airports);
    for (const std::string& n : m.names("X", m.below(6))) airports.push_back(n);
    std::vector<std::string> vors = m.some_of(base_vors);
    for (const std::string& n : m.names("W", m.below(3))) vors.push_back(n);
    put("source.bgl", m.make(airports, vors, m.some_of(m.names("N", 4))).build());
    ASSERT_TRUE(clean(dir.file("base.bgl")));
    ASSERT_TRUE(clean(dir.file("source.bgl")));

    // Sound inputs give a sound result, and merging the source again adds nothing.
    std::string report;
    const int rc = merge(dir.file("base.bgl"), dir.file("source.bgl"), dir.file("m1.bgl"));
    if (rc == kExitNoMatch) continue;  // a source without facilities
    ASSERT_EQ(rc, kExitOk);
    ++merged;
    EXPECT_TRUE(clean(dir.file("m1.bgl")));
    ASSERT_EQ(merge(dir.file("m1.bgl"), dir.file("source.bgl"), dir.file("m2.bgl"), &report),
              kExitOk);
    EXPECT_NE(report.find(" 0 added, 0 left out\n"), std::string::npos) << report;
    idempotent += report.find(" 0 added,") != std::string::npos;

    // A source of airports that all replace base airports: the link's bytes.
    put("airports.bgl", m.make(m.some_of(base_airports), {}, {}).build());
    if (merge(dir.file("base.bgl"), dir.file("airports.bgl"), dir.file("m3.bgl")) == kExitNoMatch) {
      continue;
    }
    rs.reset();
    rs.first_input_path = dir.file("base.bgl");
    rs.second_input_path = dir.file("airports.bgl");
    rs.output_path = dir.file("r3.bgl");
    ASSERT_EQ(run_link(rs), kExitOk);
    Bytes merged_bytes = afdtest::read_file(dir.file("m3.bgl"));
    Bytes linked_bytes = afdtest::read_file(dir.file("r3.bgl"));
    ASSERT_EQ(merged_bytes.size(), linked_bytes.size());
    for (Bytes* b : {&merged_bytes, &linked_bytes}) std::fill_n(b->begin() + 128, 16, 0);  // stamp
    EXPECT_EQ(merged_bytes, linked_bytes);
    byte_equal += merged_bytes == linked_bytes;
  }
  // Most pairs reach every check; the figures go to the test's XML report.
  EXPECT_GT(merged, kPairs * 3 / 4);
  RecordProperty("merged", merged);
  RecordProperty("idempotent", idempotent);
  RecordProperty("byte_equal_to_link", byte_equal);
}

}  // namespace
}  // namespace quarnel::testing
