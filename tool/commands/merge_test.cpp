// The merge command: a table of filing cases, each against the -L tree of its
// result, and the outcomes that write nothing. The promises over generated
// pairs are merge_property_test.cpp's.
#include <map>
#include <optional>
#include <sstream>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/positions.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;
using Path = std::vector<NameRef>;

struct Filed {
  Facility facility;
  std::optional<Path> path;  // none: the source files it nowhere
};

// Places top first: region, country, state, city, as many as are given.
Path path(const std::vector<std::string>& names) {
  static constexpr int32_t kLevels[] = {kRegion, kCountry, kState, kCity};
  Path p;
  for (const std::string& n : names) p.emplace_back(kLevels[p.size()], n);
  return p;
}

Facility at(const std::string& name, double lat, double lon, bool ai = false) {
  return Facility::airport(name, latitude_raw(lat), longitude_raw(lon), ai);
}

int32_t entry_level(const Facility& f) {
  return f.subtype == 1 ? kAirport : f.subtype == 2 ? kVor : kNdb;
}

// One list filing the facilities in the order given, as the level rule reads
// a list written depth first.
AfdBuilder filed_file(const std::vector<Filed>& facilities) {
  AfdBuilder b;
  afdtest::NameList* list = nullptr;
  for (const Filed& f : facilities) {
    const int index = b.add(f.facility);
    if (!f.path) continue;
    if (list == nullptr) list = &b.add_list();
    list->file(*f.path, NameRef(entry_level(f.facility), *f.facility.name, index));
  }
  return b;
}

// Airports and navaids filed in three lists: GERMANY with states in the
// first, FRANCE twice under one EUROPE in the second, HESSEN in the last,
// whose size of 0 ends the chain (a list added behind it must not be cut off
// by it); an airport behind the first VOR, and an NDB filed nowhere.
AfdBuilder small_base() {
  AfdBuilder b;
  const int ham = b.add(at("HAMBURG", 53.6304, 9.9882));
  const int fra = b.add(at("FRANKFURT MAIN", 50.0333, 8.5706, true));
  const int cdg = b.add(at("CDG", 49.0097, 2.5479));
  const int nce = b.add(at("NICE", 43.6584, 7.2159));
  const int vor = b.add(Facility::vor("HAMBURG VOR"));
  b.add(Facility::ndb("BREMEN NDB"));
  b.add(at("LUEBECK", 53.8054, 10.7192));
  b.add_list().file(path({"EUROPE", "GERMANY", "HAMBURG", "HAMBURG"}), {kAirport, "HAMBURG", ham});
  b.list(0).entries.emplace_back(kVor, "HAMBURG VOR", vor);
  b.add_list().file(path({"EUROPE", "FRANCE", "ILE-DE-FRANCE", "PARIS"}), {kAirport, "CDG", cdg});
  for (const NameRef& e : path({"EUROPE", "FRANCE", "PROVENCE", "NICE"})) {
    if (e.level != kRegion) b.list(1).entries.push_back(e);
  }
  b.list(1).entries.emplace_back(kAirport, "NICE", nce);
  b.add_list().file(path({"EUROPE", "GERMANY", "HESSEN", "FRANKFURT"}),
                    {kAirport, "FRANKFURT MAIN", fra});
  b.list(2).size_override = 0;
  return b;
}

class MergeTest : public ToolTest {
 protected:
  // Runs the merge in-process; fills `report` with what it printed.
  int merge(const std::string& base, const std::string& source, const std::string& out,
            std::string* report = nullptr) {
    return run_command({"-M", base, source, out}, report);
  }

  // The -L listing of `path`: the facilities on one line, then the name
  // lists, each link shown as the name of its facility where that differs
  // from the entry's.
  static std::string tree(const std::string& path) {
    std::string listed;
    EXPECT_EQ(run_command({"-L", path}, &listed), kExitOk);
    std::istringstream lines(listed);
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
      } else if (line.rfind(' ', 0) == 0) {
        const std::size_t arrow = line.find("  -> ");
        const std::size_t name_at = 19;
        if (arrow != std::string::npos) {
          const std::string target = at[line.substr(line.rfind(' ') + 1)];
          const std::string name = line.substr(name_at, arrow - name_at);
          line.resize(arrow);
          if (target != name) line.append(" -> ").append(target);
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

const std::string kBaseFacilities =
    "facilities: HAMBURG, FRANKFURT MAIN, CDG, NICE, HAMBURG VOR, BREMEN NDB, LUEBECK,\n";
const std::string kHamburgTop = R"(NameList
  Region:          EUROPE
    Country:       GERMANY
)";
const std::string kHamburgState = R"(      State:       HAMBURG
        City:      HAMBURG
          Airport: HAMBURG
          VOR:     HAMBURG VOR
)";
const std::string kHamburgList = kHamburgTop + kHamburgState;
const std::string kFranceList = R"(NameList
  Region:          EUROPE
    Country:       FRANCE
      State:       ILE-DE-FRANCE
        City:      PARIS
          Airport: CDG
    Country:       FRANCE
      State:       PROVENCE
        City:      NICE
          Airport: NICE
)";
const std::string kHessenTop = R"(NameList
  Region:          EUROPE
    Country:       GERMANY
      State:       HESSEN
)";
const std::string kFrankfurtCity = R"(        City:      FRANKFURT
          Airport: FRANKFURT MAIN
)";
const std::string kHessenList = kHessenTop + kFrankfurtCity;
const std::string kBaseLists = kHamburgList + kFranceList + kHessenList;

// The base's facilities with `airports` behind its leading airports and
// `navaids` behind the rest.
std::string facilities(const std::string& airports, const std::string& navaids = "") {
  return "facilities: HAMBURG, FRANKFURT MAIN, CDG, NICE," + airports +
         " HAMBURG VOR, BREMEN NDB, LUEBECK," + navaids + "\n";
}

const std::vector<Scenario>& scenarios() {
  const Path frankfurt = path({"EUROPE", "GERMANY", "HESSEN", "FRANKFURT"});
  const Path kassel = path({"EUROPE", "GERMANY", "HESSEN", "KASSEL"});
  const Path hamburg = path({"EUROPE", "GERMANY", "HAMBURG", "HAMBURG"});
  static const auto* table = new std::vector<Scenario>{
      {"FullPathFound",
       {{at("EGELSBACH", 49.9608, 8.6436), frankfurt}},
       "added: EGELSBACH\n0 replaced, 1 added, 0 left out\n",
       facilities(" EGELSBACH,") + kBaseLists + "          Airport: EGELSBACH\n"},
      // HESSEN goes deepest in the last list; BAYERN ties the first and the
      // last list, and the first wins. A new city goes behind the others.
      {"PartOfAPathFound",
       {{at("KASSEL", 51.4083, 9.3775), kassel},
        {at("MUENCHEN", 48.3538, 11.7861), path({"EUROPE", "GERMANY", "BAYERN", "MUENCHEN"})}},
       "added: KASSEL\nadded: MUENCHEN\n0 replaced, 2 added, 0 left out\n",
       facilities(" KASSEL, MUENCHEN,") + kHamburgList +
           "      State:       BAYERN\n"
           "        City:      MUENCHEN\n"
           "          Airport: MUENCHEN\n" +
           kFranceList + kHessenList +
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"},
      {"NewRegion",
       {{at("HANEDA", 35.5494, 139.7798), path({"ASIA", "JAPAN", "TOKYO", "TOKYO"})}},
       "added: HANEDA\n0 replaced, 1 added, 0 left out\n",
       facilities(" HANEDA,") + kBaseLists +
           "NameList\n"
           "  Region:          ASIA\n"
           "    Country:       JAPAN\n"
           "      State:       TOKYO\n"
           "        City:      TOKYO\n"
           "          Airport: HANEDA\n"},
      {"TwoNewAirportsInOneNewCity",
       {{at("KASSEL", 51.4083, 9.3775), kassel}, {at("CALDEN", 51.4206, 9.3850), kassel}},
       "added: KASSEL\nadded: CALDEN\n0 replaced, 2 added, 0 left out\n",
       facilities(" KASSEL, CALDEN,") + kBaseLists +
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"
           "          Airport: CALDEN\n"},
      {"NavaidReplacedAndOneAdded",
       {{Facility::vor("HAMBURG VOR"), hamburg}, {Facility::ndb("KASSEL NDB"), kassel}},
       "replaced: HAMBURG VOR\nadded: KASSEL NDB\n1 replaced, 1 added, 0 left out\n",
       facilities("", " KASSEL NDB,") + kBaseLists +
           "        City:      KASSEL\n"
           "          NDB:     KASSEL NDB\n"},
      {"DuplicateInTheSource",
       {{at("KASSEL", 51.4083, 9.3775), kassel},
        {at("KASSEL", 51.4206, 9.3850), path({"EUROPE", "GERMANY", "HESSEN", "CALDEN"})}},
       "left out: KASSEL (the later airport of this name at @1 replaces it)\nadded: KASSEL\n"
       "0 replaced, 1 added, 1 left out\n",
       facilities(" KASSEL,") + kBaseLists +
           "        City:      CALDEN\n"
           "          Airport: KASSEL\n"},
      // The later one, filed nowhere, takes the entry of the one it overrides.
      {"WinnerWithoutAnEntry",
       {{at("KASSEL", 51.4083, 9.3775), kassel}, {at("KASSEL", 51.4206, 9.3850), std::nullopt}},
       "left out: KASSEL (the later airport of this name at @1 replaces it)\nadded: KASSEL\n"
       "0 replaced, 1 added, 1 left out\n",
       facilities(" KASSEL,") + kBaseLists +
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"},
      {"AirportBehindTheFirstVor",
       {{at("LUEBECK", 53.8054, 10.7192), path({"EUROPE", "GERMANY", "SH", "LUEBECK"})}},
       "left out: LUEBECK (the base's airport of this name stands behind its first VOR or NDB, "
       "where no link finds it; quarnel -V lists it)\n0 replaced, 0 added, 1 left out\n",
       kBaseFacilities + kBaseLists},
      {"FacilityWithoutAnEntry",
       {{at("SYLT", 54.9132, 8.3405), std::nullopt}},
       "added: SYLT (no name entry)\n0 replaced, 1 added, 0 left out\n",
       facilities(" SYLT,") + kBaseLists},
      // Straight under a place that has deeper places: behind its own
      // facility entries, ahead of its first deeper place.
      {"UnderACountryWithStates",
       {{at("HELGOLAND", 54.1853, 7.9158), path({"EUROPE", "GERMANY"})}},
       "added: HELGOLAND\n0 replaced, 1 added, 0 left out\n",
       facilities(" HELGOLAND,") + kHamburgTop + "          Airport: HELGOLAND\n" + kHamburgState +
           kFranceList + kHessenList},
      {"UnderAStateWithCities",
       {{at("EGELSBACH", 49.9608, 8.6436), path({"EUROPE", "GERMANY", "HESSEN"})}},
       "added: EGELSBACH\n0 replaced, 1 added, 0 left out\n",
       facilities(" EGELSBACH,") + kHamburgList + kFranceList + kHessenTop +
           "          Airport: EGELSBACH\n" + kFrankfurtCity},
      {"UnderTheListHead",
       {{at("SYLT", 54.9132, 8.3405), Path{}}},
       "added: SYLT\n0 replaced, 1 added, 0 left out\n",
       facilities(" SYLT,") + kBaseLists + "NameList\n          Airport: SYLT\n"},
      // A VOR filed behind an airport stays filed under the airport's places:
      // it gains no entry for a replaced airport, and none for its own.
      {"VorAfterAnAirportInASourcePlace",
       {{at("FRANKFURT MAIN", 50.0333, 8.5706, true), frankfurt},
        {Facility::vor("FRANKFURT VOR"), frankfurt},
        {at("KASSEL", 51.4083, 9.3775), kassel},
        {Facility::vor("KASSEL VOR"), kassel}},
       "replaced: FRANKFURT MAIN\nadded: FRANKFURT VOR\nadded: KASSEL\nadded: KASSEL VOR\n"
       "1 replaced, 3 added, 0 left out\n",
       facilities(" KASSEL,", " FRANKFURT VOR, KASSEL VOR,") + kHamburgList + kFranceList +
           kHessenList +
           "          VOR:     FRANKFURT VOR\n"
           "        City:      KASSEL\n"
           "          Airport: KASSEL\n"
           "          VOR:     KASSEL VOR\n"},
      // The first FRANCE leads nowhere; the second holds PROVENCE.
      {"TwoSameNamedSiblings",
       {{at("MARSEILLE", 43.4393, 5.2214), path({"EUROPE", "FRANCE", "PROVENCE", "MARSEILLE"})}},
       "added: MARSEILLE\n0 replaced, 1 added, 0 left out\n",
       facilities(" MARSEILLE,") + kHamburgList + kFranceList +
           "        City:      MARSEILLE\n"
           "          Airport: MARSEILLE\n" +
           kHessenList},
      // Behind HAMBURG VOR, an NDB would nest seven deep: it goes ahead of
      // the VORs, still under the airport.
      {"DepthOfVorAndNdb",
       {{Facility::vor("VQ"), hamburg}, {Facility::ndb("NQ"), hamburg}},
       "added: VQ\nadded: NQ\n0 replaced, 2 added, 0 left out\n",
       facilities("", " VQ, NQ,") + kHamburgTop +
           "      State:       HAMBURG\n"
           "        City:      HAMBURG\n"
           "          Airport: HAMBURG\n"
           "          NDB:     NQ\n"
           "          VOR:     HAMBURG VOR\n"
           "          VOR:     VQ\n" +
           kFranceList + kHessenList},
      // The source files NB under VB's entry, which files the VB that the
      // later one overrides: NB is filed under AS, and the later VB takes the
      // entry.
      {"NavaidUnderAnOverriddenNavaid",
       {{Facility::vor("VB"), path({"AS"})},
        {Facility::ndb("NB"), path({"AS"})},
        {Facility::vor("VB"), std::nullopt}},
       "left out: VB (the later vor of this name at @2 replaces it)\nadded: NB\nadded: VB\n"
       "0 replaced, 2 added, 1 left out\n",
       facilities("", " NB, VB,") + kBaseLists +
           "NameList\n"
           "  Region:          AS\n"
           "          NDB:     NB\n"
           "          VOR:     VB\n"},
      {"NamesAlikeAndNear",
       {{at("Hamburg", 53.6334, 9.9900), std::nullopt},
        {Facility::vor(" HAMBURG VOR"), std::nullopt},
        {at("ROISSY", 49.0150, 2.5479), std::nullopt}},
#if defined(_WIN32)
#define DEGREES "\xB0"
#else
#define DEGREES "\xC2\xB0"
#endif
       "added: Hamburg (no name entry; the base has HAMBURG; names are compared exactly; "
       "0.003" DEGREES " from HAMBURG)\n"
       "added:  HAMBURG VOR (no name entry; the base has HAMBURG VOR; names are compared "
       "exactly)\n"
       "added: ROISSY (no name entry; 0.005" DEGREES " from CDG)\n"
       "0 replaced, 3 added, 0 left out\n",
#undef DEGREES
       facilities(" Hamburg, ROISSY,", "  HAMBURG VOR,") + kBaseLists},
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
  for (std::size_t pos; (pos = expected.find('@')) != std::string::npos;) {
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%06X",
                  layout.facility_offsets[static_cast<std::size_t>(expected[pos + 1] - '0')]);
    expected.replace(pos, 2, offset);
  }
  EXPECT_EQ(report, expected);
  EXPECT_EQ(tree(dir.file("out.bgl")), s.tree);
}

INSTANTIATE_TEST_SUITE_P(Table, MergeScenario, ::testing::ValuesIn(scenarios()),
                         [](const auto& row) { return std::string(row.param.name); });

// A replacing airport whose AI mark stands behind the first kilobyte, read
// for its name only: the trailer's box still covers it, and the header's
// bounds its new position.
TEST_F(MergeTest, BoundsCoverAReplacingAirportMarkedFarInto) {
  AfdBuilder base;
  base.add(at("KASSEL", 51.4083, 9.3775));
  base.bounds = {latitude_raw(51.4083), latitude_raw(51.4083), longitude_raw(9.3775),
                 longitude_raw(9.3775)};
  AfdBuilder source;
  Facility moved = at("KASSEL", 51.5, 9.5);
  moved.extra = {{0x10010, Bytes(2000, 0x42)}, {0x11001, Bytes{1, 0, 0, 0}}};
  source.add(moved);
  put("base.bgl", base.build());
  put("source.bgl", source.build());
  ASSERT_EQ(merge(dir.file("base.bgl"), dir.file("source.bgl"), dir.file("out.bgl")), kExitOk);
  const Bytes out = afdtest::read_file(dir.file("out.bgl"));
  const auto value = [&](std::size_t at) { return static_cast<int32_t>(afdtest::get32(out, at)); };
  const std::size_t trailer = afdtest::get32(out, 70);
  const afdtest::Box header{value(2), value(6), value(10), value(14)};
  const afdtest::Box ai{value(trailer + 4), value(trailer + 8), value(trailer + 12),
                        value(trailer + 16)};
  EXPECT_EQ(header, (afdtest::Box{latitude_raw(51.5), latitude_raw(51.4083), longitude_raw(9.5),
                                  longitude_raw(9.3775)}));
  EXPECT_EQ(ai, (afdtest::Box{latitude_raw(51.5), latitude_raw(51.5), longitude_raw(9.5),
                              longitude_raw(9.5)}));
}

// Both limits end with 10 and name themselves; nothing is written.
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
  // Names of 60000 bytes: the base's six and a seventh overflow NamePool.
  AfdBuilder long_names;
  for (char c = 'A'; c < 'G'; ++c) long_names.add(Facility::airport(std::string(60000, c)));
  put("long.bgl", long_names.build());
  AfdBuilder longer;
  longer.add(Facility::airport(std::string(60000, 'G')));
  put("longer.bgl", longer.build());

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
  EXPECT_EQ(merge(dir.file("long.bgl"), dir.file("longer.bgl"), dir.file("x.bgl"), &report),
            kExitTooManyRecords);
  EXPECT_EQ(report,
            "too many records: the names of the merged file would take more than the tool's "
            "name pool holds (400000 bytes)\n");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"full.bgl", "long.bgl", "longer.bgl",
                                                     "none.bgl", "one.bgl", "out.bgl", "two.bgl"}));
}

}  // namespace
}  // namespace quarnel::testing
