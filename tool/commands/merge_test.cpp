// The merge command: a table of cases, each against its report and the -L
// tree of its result; the bounds; the limits of a run and the outcomes that
// write nothing. The promises over generated sets of files are
// merge_property_test.cpp's.
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/source_list.h"
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

// One list filing the facilities in the order given, as the level rule reads
// a list written depth first.
AfdBuilder filed_file(const std::vector<Filed>& facilities) {
  AfdBuilder b;
  afdtest::NameList* list = nullptr;
  for (const Filed& f : facilities) {
    const int index = b.add(f.facility);
    if (!f.path) continue;
    if (list == nullptr) list = &b.add_list();
    list->file(*f.path, NameRef(afdtest::entry_level(f.facility), *f.facility.name, index));
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
  std::string facilities;
  std::string lists = "";  // behind the base's, which stay as they are
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

// The base's facilities with `airports` behind its leading airports and
// `navaids` behind the rest.
std::string facilities(const std::string& airports, const std::string& navaids = "") {
  return "facilities: HAMBURG, FRANKFURT MAIN, CDG, NICE," + airports +
         " HAMBURG VOR, BREMEN NDB, LUEBECK," + navaids + "\n";
}

// The filing itself is held against its rules over generated pairs
// (merge_property_test.cpp); these are the report's texts and the edges the
// pairs do not reach.
const std::vector<Scenario>& scenarios() {
  static const auto* table = new std::vector<Scenario>{
      {"AirportBehindTheFirstVor",
       {{at("LUEBECK", 53.8054, 10.7192), path({"EUROPE", "GERMANY", "SH", "LUEBECK"})}},
       "left out: LUEBECK (the base's airport of this name stands behind its first VOR or NDB, "
       "where no link finds it; quarnel -V lists it)\n0 replaced, 0 added, 1 left out\n",
       facilities("")},
      // A new list goes behind the base's last, whose size of 0 ends the chain.
      {"UnderTheListHead",
       {{at("SYLT", 54.9132, 8.3405), Path{}}},
       "added: SYLT\n0 replaced, 1 added, 0 left out\n",
       facilities(" SYLT,"),
       "NameList\n          Airport: SYLT\n"},
      // The source files NB under VB's entry, which files the VB that the
      // later one overrides: NB is filed under AS, and the later VB takes the
      // entry.
      {"NavaidUnderAnOverriddenNavaid",
       {{Facility::vor("VB"), path({"AS"})},
        {Facility::ndb("NB"), path({"AS"})},
        {Facility::vor("VB"), std::nullopt}},
       "left out: VB (the later vor of this name at @2 replaces it)\nadded: NB\nadded: VB\n"
       "0 replaced, 2 added, 1 left out\n",
       facilities("", " NB, VB,"),
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
       facilities(" Hamburg, ROISSY,", "  HAMBURG VOR,")},
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
  ASSERT_EQ(merge(dir.file("base.bgl"), {dir.file("source.bgl")}, dir.file("out.bgl"), &report),
            kExitOk);
  std::string expected = s.report;
  for (std::size_t pos; (pos = expected.find('@')) != std::string::npos;) {
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%06X",
                  layout.facility_offsets[static_cast<std::size_t>(expected[pos + 1] - '0')]);
    expected.replace(pos, 2, offset);
  }
  EXPECT_EQ(report, expected);
  const std::string base = tree(dir.file("base.bgl"));
  EXPECT_EQ(tree(dir.file("out.bgl")), s.facilities + base.substr(base.find('\n') + 1) + s.lists);
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
  ASSERT_EQ(merge(dir.file("base.bgl"), {dir.file("source.bgl")}, dir.file("out.bgl")), kExitOk);
  const Bytes out = afdtest::read_file(dir.file("out.bgl"));
  EXPECT_EQ(afdtest::box_at(out, 2), (afdtest::Box{latitude_raw(51.5), latitude_raw(51.4083),
                                                   longitude_raw(9.5), longitude_raw(9.3775)}));
  EXPECT_EQ(afdtest::box_at(out, afdtest::get32(out, 70) + 4),
            (afdtest::Box{latitude_raw(51.5), latitude_raw(51.5), longitude_raw(9.5),
                          longitude_raw(9.5)}));
}

// Both limits end with 10 and name themselves, the Catalogue's counting what
// every source of a run adds; a source without facilities ends with 5. Such a
// run writes nothing.
TEST_F(MergeTest, WritesNothingForASourceWithoutFacilitiesOrAResultTooLarge) {
  put("none.bgl", AfdBuilder().build());
  // A base one record short of the Catalogue's capacity takes one more.
  put("full.bgl", afdtest::numbered_airports(static_cast<int>(kCatalogueCapacity) - 1).build());
  AfdBuilder source;
  source.add(Facility::airport("A7", 7, 7));
  source.add(at("NEW1", 45, 45));  // near no airport of the base
  put("one.bgl", source.build());
  source.add(at("NEW2", 46, 46));
  put("two.bgl", source.build());
  AfdBuilder other;
  other.add(at("NEW2", 46, 46));
  put("other.bgl", other.build());
  // Names of 60000 bytes: the base's six and a seventh overflow NamePool.
  AfdBuilder long_names;
  for (char c = 'A'; c < 'G'; ++c) long_names.add(Facility::airport(std::string(60000, c)));
  put("long.bgl", long_names.build());
  AfdBuilder longer;
  longer.add(Facility::airport(std::string(60000, 'G')));
  put("longer.bgl", longer.build());
  const std::vector<std::string> before = dir.entries();
  const std::string catalogue =
      "too many records: the merged file would hold more than the tool can catalogue "
      "(20000 records)\n";
  struct Case {
    std::vector<std::string> files;  // the base, then the sources
    int rc;
    std::string report;  // for a run that writes nothing
  };
  const Case cases[] = {
      {{"full", "none"}, kExitNoMatch, ""},
      {{"full", "one"}, kExitOk, ""},
      {{"full", "one", "one"}, kExitOk, ""},
      {{"full", "two"}, kExitTooManyRecords, catalogue},
      {{"full", "one", "other"},
       kExitTooManyRecords,
       "from " + dir.file("one.bgl") + ":\nreplaced: A7\nadded: NEW1 (no name entry)\nfrom " +
           dir.file("other.bgl") + ":\n" + catalogue},
      {{"long", "longer"},
       kExitTooManyRecords,
       "too many records: the names of the merged file would take more than the tool's name pool "
       "holds (400000 bytes)\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> sources;
    for (const std::string& f : c.files) sources.push_back(dir.file(f + ".bgl"));
    sources.erase(sources.begin());
    std::string report;
    EXPECT_EQ(merge(dir.file(c.files[0] + ".bgl"), sources, dir.file("out.bgl"), &report), c.rc)
        << report;
    if (c.rc == kExitOk) {
      EXPECT_TRUE(std::filesystem::remove(dir.file("out.bgl")));
    } else {
      EXPECT_EQ(report, c.report);
    }
    EXPECT_EQ(dir.entries(), before) << c.files.back();
  }
}

// More sources than a run takes end it with 10 before the base is read. The
// golden tests run the other shapes of the sources: files, folders, a file
// that is no AFD file named or in a folder.
TEST_F(MergeTest, MoreSourcesThanARunTakesEndItWithTen) {
  const std::string a = put("a.bgl", afdtest::numbered_airports(1).build());
  std::filesystem::create_directory(dir.file("folder"));
  put("folder/b.bgl", afdtest::numbered_airports(2).build());
  put("folder/c.bgl", afdtest::numbered_airports(3).build());
  SourceList over;
  afdtest::CapturedStdout out;
  EXPECT_EQ(gather_sources(rs, {a, dir.file("folder")}, 2, &over), kExitTooManyRecords);
  EXPECT_EQ(end_gathering(rs, Command::kMerge, kExitTooManyRecords, over), kExitTooManyRecords);
  EXPECT_EQ(out.text(), "too many sources: more than 2 in one run\n");
}

}  // namespace
}  // namespace quarnel::testing
