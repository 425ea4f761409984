// Golden tests of the real program: each runs the built binary in a scratch
// folder and compares its exit code, its standard output and the files it
// wrote, byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "cli_run.h"

namespace {

using afdtest::AfdBuilder;
using afdtest::Box;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;

using namespace afdtest::levels;

using clitest::kBanner;
using clitest::Result;
using clitest::under_runner;

class CliTest : public clitest::CliRun {
 protected:
  Bytes file(const std::string& name) { return afdtest::read_file(dir.file(name)); }
  bool exists(const std::string& name) {
    struct stat st;
    return stat(dir.file(name).c_str(), &st) == 0;
  }
};

// The bytes of a written file that depend on the moment of writing.
constexpr std::size_t kStampBegin = 128, kStampEnd = 144;

// Compares a written file with the expected composition, apart from the
// file_id, date and time; those must follow from the stored time.
void expect_written_file(const Bytes& actual, const Bytes& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (i >= kStampBegin && i < kStampEnd) continue;
    ASSERT_EQ(actual[i], expected[i]) << "first difference at byte " << i;
  }
  const uint32_t when = afdtest::get32(actual, 140);
  const std::time_t now = std::time(nullptr);
  EXPECT_LE(static_cast<std::time_t>(when), now);
  EXPECT_GE(static_cast<std::time_t>(when) + 600, now);
  uint32_t state = when;
  for (std::size_t k = 0; k < 3; ++k) {
    state = state * 22695477u + 1u;
    const unsigned id = actual[128 + 2 * k] | actual[129 + 2 * k] << 8;
    EXPECT_EQ(id, (state >> 16) & 0x7FFF) << "file_id word " << k;
  }
  const std::time_t t = when;
  const std::tm* local = std::localtime(&t);
  EXPECT_EQ(afdtest::get32(actual, 134), static_cast<uint32_t>(local->tm_year + 1900));
  EXPECT_EQ(actual[138], local->tm_mday);
  EXPECT_EQ(actual[139], local->tm_mon + 1);
}

// A linked file without name lists closes its empty chain with one end mark
// more than a file composed without lists has.
Bytes with_empty_chain(Bytes file) {
  const uint32_t trailer = afdtest::get32(file, 70);
  file.insert(file.begin() + trailer, 8, 0);
  afdtest::set32(file, 70, trailer + 8);
  return file;
}

// ---------------------------------------------------------------- dispatch

TEST_F(CliTest, CommandDispatchAndArgumentCounts) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"S", "x.bgl"}, "unknown command\n"},
      {{"-X", "x.bgl"}, "unknown command\n"},
      {{"-", "x.bgl"}, "unknown command\n"},
      {{""}, "unknown command\n"},
      {{"-S"}, ""},
      {{"-C", "x.bgl"}, ""},
      {{"-r", "x.bgl"}, ""},
      {{"-m", "x.bgl"}, ""},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, kBanner + c.out) << c.args[0];
    EXPECT_EQ(r.rc, 0) << c.args[0];
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

TEST_F(CliTest, NoArgumentsPrintsUnknownCommand) {
  // Under the Windows runner this case raises a message box; the window tests cover it.
  if (under_runner()) GTEST_SKIP() << "shows a message box";
  const Result r = run({});
  EXPECT_EQ(r.out, std::string(kBanner) + "unknown command\n");
  EXPECT_EQ(r.rc, 0);
}

// ---------------------------------------------------------------- statistics

AfdBuilder small_file() {
  AfdBuilder b;
  const int a = b.add(Facility::airport("ALPHA FIELD", 10, 10, true));
  b.add(Facility::airport("BETA", 20, 20));
  b.add(Facility::vor("GAMMA VOR"));
  b.add(Facility::ndb("DELTA"));
  b.add_list().entries = {NameRef(kRegion, "EUROPE"), NameRef(kCity, "SOMEWHERE LONGER"),
                          NameRef(kAirport, "ALPHA FIELD", a)};
  return b;
}

TEST_F(CliTest, StatisticsReport) {
  put("f.bgl", small_file().build());
  const std::string report =
      "containers:        4\nname list:         1\nnames:             3\n--------------------\n"
      "cat count:         8\n\nmax strlen:       16\nmax cont size:    90\n"
      "airports:          2\nairports AI:       1\nvor's:             1\nndb's:             1\n";
  for (const char* option : {"-S", "-s", "-Stat"}) {
    const Result r = run({option, "f.bgl", "ignored"});
    EXPECT_EQ(r.out, kBanner + report) << option;
    EXPECT_EQ(r.rc, 0);
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"f.bgl"});
}

TEST_F(CliTest, StatisticsOfAnEmptyFileAreZeros) {
  put("e.bgl", AfdBuilder().build());
  const Result r = run({"-S", "e.bgl"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "containers:        0\nname list:         0\nnames:             0\n"
                       "--------------------\ncat count:         0\n\nmax strlen:        0\n"
                       "max cont size:     0\nairports:          0\nairports AI:       0\n"
                       "vor's:             0\nndb's:             0\n");
  EXPECT_EQ(r.rc, 0);
}

TEST_F(CliTest, StatisticsFailures) {
  AfdBuilder bad;
  bad.magic = 0;
  put("bad.bgl", bad.build());
  Result r = run({"-S", "missing.bgl"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "cannot open:\"missing.bgl\"\nerror processing file:\"missing.bgl\"\n");
  EXPECT_EQ(r.rc, 2);
  r = run({"-S", "bad.bgl"});
  EXPECT_EQ(r.out, std::string(kBanner) + "error processing file:\"bad.bgl\"\n");
  EXPECT_EQ(r.rc, 3);
}

TEST_F(CliTest, ReadOnlyInputIsAccepted) {
  put("ro.bgl", small_file().build());
  chmod(dir.file("ro.bgl").c_str(), 0444);
  const Result r = run({"-S", "ro.bgl"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("cat count:         8"), std::string::npos);
}

// ---------------------------------------------------------------- link

struct LinkPair {
  AfdBuilder base, source, expected;
};

// A base with AI airports, a trailer, two lists and an airport after the first
// VOR; a source that replaces two airports with records of other sizes.
LinkPair link_pair() {
  LinkPair p;
  AfdBuilder& b = p.base;
  b.bounds = {600, -600, 700, -700};
  b.trailer_word = 0x11223344;
  b.trailer_box = {50, 40, 30, 20};
  const int a = b.add(Facility::airport("ALPHA", 100, 100));
  const int bb = b.add(Facility::airport("BRAVO", 90, -10, true));
  const int c = b.add(Facility::airport("CHARLIE", 80, 80));
  const int d = b.add(Facility::airport("BRAVO", 70, 70));
  const int v = b.add(Facility::vor("VICTOR"));
  const int late = b.add(Facility::airport("ECHO", 60, 60));
  b.add_list().entries = {NameRef(kRegion, "R1"), NameRef(kCity, "C1"),
                          NameRef(kAirport, "ALPHA", a), NameRef(kAirport, "BRAVO", bb),
                          NameRef(kVor, "VICTOR", v)};
  b.add_list().entries = {NameRef(kCity, "C2"), NameRef(kAirport, "CHARLIE", c),
                          NameRef(kAirport, "BRAVO", d), NameRef(kAirport, "ECHO", late)};

  AfdBuilder& s = p.source;
  Facility bravo1 = Facility::airport("BRAVO", 1, 1);
  Facility bravo2 = Facility::airport("BRAVO", 2, 2, true);  // the last one wins
  bravo2.extra.push_back({0x10020, Bytes(33, 7)});
  Facility alpha = Facility::airport("ALPHA", 5, 5);
  alpha.position.reset();         // smaller than the base's
  s.add(Facility::vor("ALPHA"));  // navaids never replace airports
  s.add(bravo1);
  s.add(alpha);
  s.add(Facility::airport("alpha", 9, 9));  // letter case matters
  s.add(Facility::airport("ECHO", 9, 9));   // the base's ECHO stands after a VOR
  s.add(bravo2);

  p.expected = b;
  p.expected.facilities()[static_cast<std::size_t>(a)] = alpha;
  p.expected.facilities()[static_cast<std::size_t>(bb)] = bravo2;
  // The base's trailer box grown by the base's own AI airport (90, -10).
  p.expected.trailer_box = {90, 40, 30, -10};
  return p;
}

TEST_F(CliTest, LinkWritesTheBaseWithSourceAirportsReplaced) {
  LinkPair p = link_pair();
  put("base.bgl", p.base.build());
  put("source.bgl", p.source.build());
  const Result r = run({"-R", "base.bgl", "source.bgl", "new.bgl", "ignored.bgl"});
  EXPECT_EQ(r.out, kBanner);
  EXPECT_EQ(r.rc, 0);
  expect_written_file(file("new.bgl"), p.expected.build());
  EXPECT_EQ(file("base.bgl"), p.base.build());
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"base.bgl", "new.bgl", "source.bgl"}));
}

TEST_F(CliTest, LinkTrailerWordDefaults) {
  struct Case {
    const char* what;
    bool with_trailer;
    int32_t word;
    uint32_t expected_word;
  };
  for (const Case& c : {Case{"no trailer", false, 0, 0x2000033F},
                        Case{"word -1", true, -1, 0x2000033F}, Case{"word kept", true, 0x7, 0x7}}) {
    AfdBuilder base;
    base.with_trailer = c.with_trailer;
    base.trailer_word = c.word;
    base.add(Facility::airport("A", 1, 1));
    AfdBuilder source;
    source.add(Facility::airport("A", 2, 2));
    put("b.bgl", base.build());
    put("s.bgl", source.build());
    ASSERT_EQ(run({"-r", "b.bgl", "s.bgl"}).rc, 0) << c.what;
    AfdBuilder expected = source;
    expected.bounds = base.bounds;
    expected.with_trailer = true;
    expected.trailer_word = static_cast<int32_t>(c.expected_word);
    expected.trailer_box = c.with_trailer ? base.trailer_box : afdtest::kEmptyBox;
    expect_written_file(file("afdtmp.bgl"), with_empty_chain(expected.build()));
  }
}

TEST_F(CliTest, LinkFailures) {
  AfdBuilder base;
  base.add(Facility::airport("A"));
  AfdBuilder other;
  other.add(Facility::airport("B"));
  AfdBuilder bad = base;
  bad.format_level = 2;
  put("base.bgl", base.build());
  put("other.bgl", other.build());
  put("bad.bgl", bad.build());
  put("text.txt", Bytes{'h', 'e', 'l', 'l', 'o'});
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int rc;
  };
  const Case cases[] = {
      {{"-R", "nob.bgl", "nos.bgl", "o.bgl"},
       "cannot open:\"nob.bgl\"\ncannot open:\"nos.bgl\"\n",
       2},
      {{"-R", "base.bgl", "nos.bgl", "o.bgl"}, "cannot open:\"nos.bgl\"\n", 2},
      {{"-R", "bad.bgl", "nos.bgl", "o.bgl"}, "cannot open:\"nos.bgl\"\n", 2},
      {{"-R", "bad.bgl", "base.bgl", "o.bgl"}, "", 3},
      {{"-R", "base.bgl", "other.bgl", "o.bgl"}, "", 5},
      {{"-R", "base.bgl", "text.txt", "o.bgl"}, "", 5},
      {{"-R", "base.bgl", "base.bgl", "no-such-folder/o.bgl"}, "", 6},
      {{"-R", "base.bgl", "base.bgl", "."}, "", 6},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, kBanner + c.out) << c.args[1] << " " << c.args[2];
    EXPECT_EQ(r.rc, c.rc) << c.args[1] << " " << c.args[2];
  }
  EXPECT_EQ(dir.entries(),
            (std::vector<std::string>{"bad.bgl", "base.bgl", "other.bgl", "text.txt"}));
}

TEST_F(CliTest, LinkMayReplaceItsOwnBase) {
  LinkPair p = link_pair();
  put("base.bgl", p.base.build());
  put("source.bgl", p.source.build());
  ASSERT_EQ(run({"-R", "base.bgl", "source.bgl", "base.bgl"}).rc, 0);
  expect_written_file(file("base.bgl"), p.expected.build());
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"base.bgl", "source.bgl"}));
}

TEST_F(CliTest, LinkOfABaseWithoutListsWritesThreeEndMarks) {
  AfdBuilder base;
  base.add(Facility::airport("A", 1, 1));
  AfdBuilder source;
  source.add(Facility::airport("A", 3, 3));
  put("b.bgl", base.build());
  put("s.bgl", source.build());
  ASSERT_EQ(run({"-R", "b.bgl", "s.bgl", "o.bgl"}).rc, 0);
  const Bytes out = file("o.bgl");
  const Bytes record = afdtest::facility_record(source.facilities()[0]);
  ASSERT_EQ(out.size(), 168 + record.size() + 3 * 8 + 20);
  EXPECT_EQ(Bytes(out.begin() + 168 + long(record.size()), out.end() - 20), Bytes(24, 0));
  EXPECT_EQ(afdtest::get32(out, 70), out.size() - 20);
}

TEST_F(CliTest, LinkDropsLinksToFacilitiesThatAreNotCopied) {
  AfdBuilder base;
  base.add(Facility::airport("A", 1, 1));
  Facility odd = Facility::vor("ODD");
  odd.subtype = 9;  // not catalogued, so not copied
  const int o = base.add(odd);
  base.add_list().entries = {NameRef(kCity, "C"), NameRef(kVor, "ODD", o),
                             NameRef(kAirport, "A", 0)};
  base.list(0).entries[0].raw_link = 4;  // a link into the header: names no facility
  AfdBuilder source;
  source.add(Facility::airport("A", 2, 2));
  afdtest::Layout at;
  put("b.bgl", base.build(&at));
  put("s.bgl", source.build());
  const Result r = run({"-R", "b.bgl", "s.bgl", "o.bgl"});
  char line[64];
  std::snprintf(line, sizeof line, "unknown object 9 at 0x%06X\n", at.facility_offsets[1]);
  EXPECT_EQ(r.out, kBanner + std::string(line));
  ASSERT_EQ(r.rc, 0);
  AfdBuilder expected;
  expected.bounds = base.bounds;
  expected.trailer_box = base.trailer_box;
  expected.add(source.facilities()[0]);
  expected.add_list().entries = {NameRef(kCity, "C"), NameRef(kVor, "ODD"),
                                 NameRef(kAirport, "A", 0)};
  expect_written_file(file("o.bgl"), expected.build());
}

// ---------------------------------------------------------------- extract

AfdBuilder extract_input() {
  AfdBuilder b;
  b.bounds = {1, 2, 3, 4};
  b.trailer_word = 0x55;
  const int x = b.add(Facility::airport("XRAY", 5600000, 100000));
  const int y = b.add(Facility::airport("YANKEE", 5400000, -100000, true));
  const int z = b.add(Facility::airport("ZULU", 0, 0));
  const int v = b.add(Facility::vor("XRAY"));
  b.add_list().entries = {
      NameRef(kRegion, "EU"),    NameRef(kCountry, "DE"),      NameRef(kState, "NORD"),
      NameRef(kCity, "KIEL"),    NameRef(kAirport, "XRAY", x), NameRef(kVor, "XRAY", v),
      NameRef(kCity, "LUEBECK"), NameRef(kAirport, "ZULU", z), NameRef(kAirport, "YANKEE", y)};
  b.add_list().entries = {NameRef(kRegion, "AS"), NameRef(kCity, "NOWHERE"),
                          NameRef(kAirport, "ZULU", z)};
  b.add_list().entries = {NameRef(kRegion, "EU"), NameRef(kCity, "ANYWHERE"),
                          NameRef(kAirport, "YANKEE", y)};
  return b;
}

TEST_F(CliTest, ExtractCopiesTheNamedAirportsWithTheirAncestry) {
  const AfdBuilder in = extract_input();
  put("in.bgl", in.build());
  const Result r = run({"-C", "in.bgl", "YANKEE", "XRAY", "Zulu", "XRAY"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "NameList\n"
                       "  Region:          EU\n"
                       "    Country:       DE\n"
                       "      State:       NORD\n"
                       "        City:      KIEL\n"
                       "          Airport: XRAY\n"
                       "        City:      LUEBECK\n"
                       "          Airport: YANKEE\n"
                       "NameList\n"
                       "  Region:          EU\n"
                       "        City:      ANYWHERE\n"
                       "          Airport: YANKEE\n");
  ASSERT_EQ(r.rc, 0);
  AfdBuilder expected;
  expected.bounds = {5605000, 5395000, 107697, -107697};
  expected.trailer_word = 0x2000033F;
  expected.trailer_box = {5405000, 5395000, -92441, -107559};
  const int x = expected.add(in.facilities()[0]);
  const int y = expected.add(in.facilities()[1]);
  expected.add_list().entries = {NameRef(kRegion, "EU"),        NameRef(kCountry, "DE"),
                                 NameRef(kState, "NORD"),       NameRef(kCity, "KIEL"),
                                 NameRef(kAirport, "XRAY", x),  NameRef(kCity, "LUEBECK"),
                                 NameRef(kAirport, "YANKEE", y)};
  expected.add_list().entries = {NameRef(kRegion, "EU"), NameRef(kCity, "ANYWHERE"),
                                 NameRef(kAirport, "YANKEE", y)};
  expect_written_file(file("afdtmp.bgl"), expected.build());
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"afdtmp.bgl", "in.bgl"}));
}

TEST_F(CliTest, ExtractOutcomesWithoutOutput) {
  put("in.bgl", extract_input().build());
  AfdBuilder bad;
  bad.section_tag = 0;
  put("bad.bgl", bad.build());
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int rc;
  };
  const std::vector<std::string> many = [] {
    std::vector<std::string> a{"-C", "in.bgl"};
    for (int i = 0; i < 65; ++i) a.push_back(afdtest::numbered("N", static_cast<long>(i)));
    return a;
  }();
  const Case cases[] = {
      {{"-C", "none.bgl", "XRAY"}, "cannot open:\"none.bgl\"\n", 2},
      {{"-C", "bad.bgl", "XRAY"}, "", 3},
      {{"-C", "in.bgl", "xray", "NOWHERE", "EU"}, "", 4},
      {many, "too many names: 65 (at most 64)\n", 7},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, kBanner + c.out) << c.args[1] << " " << c.args[2];
    EXPECT_EQ(r.rc, c.rc) << c.args[1] << " " << c.args[2];
  }
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bad.bgl", "in.bgl"}));
}

TEST_F(CliTest, ExtractNestingBeyondSixLevelsEndsWith15AndWritesNothing) {
  auto input = [](int32_t third, int32_t fourth) {
    AfdBuilder b;
    const int a = b.add(Facility::airport("DEEP", 1, 1));
    b.add_list().entries = {NameRef(kRegion, "R"),        NameRef(kCountry, "C"),
                            NameRef(kState, "S"),         NameRef(kCity, "T"),
                            NameRef(kAirport, "DEEP", a), NameRef(third, "N1", a),
                            NameRef(fourth, "N2", a)};
    return b.build();
  };
  afdtest::write_file(dir.file("afdtmp.bgl"), Bytes{'o', 'l', 'd'});
  put("in.bgl", input(kVor, kNdb));
  Result r = run({"-C", "in.bgl", "DEEP"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "NameList\n  Region:          R\n    Country:       C\n"
                       "      State:       S\n        City:      T\n          Airport: DEEP\n"
                       "          VOR:     N1\n");
  EXPECT_EQ(r.rc, 15);
  EXPECT_EQ(file("afdtmp.bgl"), (Bytes{'o', 'l', 'd'}));  // the earlier file survives
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"afdtmp.bgl", "in.bgl"}));

  put("in.bgl", input(kNdb, kVor));
  r = run({"-C", "in.bgl", "DEEP"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("          NDB:     N1\n          VOR:     N2\n"), std::string::npos);
}

TEST_F(CliTest, ExtractSkipsListsWithoutSelectedAirportsEntirely) {
  AfdBuilder in;
  const int a = in.add(Facility::airport("A", 0, 0));
  const int b = in.add(Facility::airport("B", 0, 0));
  in.add_list().entries = {NameRef(kCity, "ONLY B"), NameRef(kAirport, "B", b)};
  in.add_list().entries = {NameRef(kCity, "HAS A"), NameRef(kAirport, "A", a)};
  put("in.bgl", in.build());
  const Result r = run({"-C", "in.bgl", "A"});
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.out,
            std::string(kBanner) + "NameList\n        City:      HAS A\n          Airport: A\n");
  AfdBuilder expected;
  expected.bounds = {5000, -5000, 5000, -5000};
  expected.add(in.facilities()[0]);
  expected.add_list().entries = {NameRef(kCity, "HAS A"), NameRef(kAirport, "A", 0)};
  expected.trailer_box = {-2147478648, 2147478647, -2147478648, 2147478647};
  expect_written_file(file("afdtmp.bgl"), expected.build());
}

TEST_F(CliTest, ExtractMayReadTheFileItReplaces) {
  put("afdtmp.bgl", extract_input().build());
  const Result r = run({"-C", "afdtmp.bgl", "ZULU"});
  ASSERT_EQ(r.rc, 0);
  const Bytes out = file("afdtmp.bgl");
  EXPECT_EQ(afdtest::get32(out, 70), out.size() - 20);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"afdtmp.bgl"});
}

}  // namespace

// ------------------------------------------------------------------ merge

TEST_F(CliTest, MergeAddsKasselUnderHessenAndSaysWhatItDid) {
  put("base.bgl", afdtest::sample_base().build());
  AfdBuilder source = afdtest::sample_source();
  source.add_list().file(
      {{kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HESSEN"}, {kCity, "KASSEL"}},
      {kAirport, "KASSEL", 2});
  put("source.bgl", source.build());
  const Result r = run({"-m", "base.bgl", "source.bgl"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "replaced: HAMBURG\nreplaced: FRANKFURT MAIN\nadded: KASSEL\n"
                       "replaced: HAMBURG VOR\n3 replaced, 1 added, 0 left out\n");
  const Result listing = run({"-L", "afdtmp.bgl"});
  EXPECT_NE(listing.out.find("      State:       HESSEN\n"
                             "        City:      FRANKFURT\n"
                             "          Airport: FRANKFURT MAIN  -> airport at 0x0001A4\n"
                             "        City:      KASSEL\n"
                             "          Airport: KASSEL  -> airport at 0x00027A\n"
                             "      State:       BAYERN\n"),
            std::string::npos)
      << listing.out;
  EXPECT_EQ(run({"-V", "afdtmp.bgl"}).out, std::string(kBanner) + "no problems found\n");
}
