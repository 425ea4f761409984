// Golden tests of the real program: each runs the built binary in a scratch
// folder and compares its exit code, both output streams and the files it
// wrote, byte for byte.
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <tuple>

#include "cli_run.h"

namespace {

using namespace clitest;

// Compares a written file with the expected composition, apart from the
// file_id, date and time; those must follow from the stored time.
void expect_written_file(const Bytes& actual, const Bytes& expected) {
  const Bytes got = afdtest::without_stamp(actual), want = afdtest::without_stamp(expected);
  ASSERT_EQ(got.size(), want.size());
  const auto differs = std::mismatch(got.begin(), got.end(), want.begin()).first;
  ASSERT_TRUE(differs == got.end()) << "first difference at byte " << differs - got.begin();
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

// ------------------------------------------------------- the files of the table

AfdBuilder extract_input() {
  AfdBuilder b = afd(
      {Facility::airport("XRAY", 5600000, 100000),
       Facility::airport("YANKEE", 5400000, -100000, true), Facility::airport("ZULU", 0, 0),
       Facility::vor("XRAY")},
      {{NameRef(kRegion, "EU"), NameRef(kCountry, "DE"), NameRef(kState, "NORD"),
        NameRef(kCity, "KIEL"), NameRef(kAirport, "XRAY", 0), NameRef(kVor, "XRAY", 3),
        NameRef(kCity, "LUEBECK"), NameRef(kAirport, "ZULU", 2), NameRef(kAirport, "YANKEE", 1)},
       {NameRef(kRegion, "AS"), NameRef(kCity, "NOWHERE"), NameRef(kAirport, "ZULU", 2)},
       {NameRef(kRegion, "EU"), NameRef(kCity, "ANYWHERE"), NameRef(kAirport, "YANKEE", 1)}},
      {1, 2, 3, 4});
  b.trailer_word = 0x55;
  return b;
}

// A file with a bit of everything the listing shows: an AI airport, an
// airport without a position, a nameless one, navaids, a facility of an
// unknown subtype, links resolved, dangling and absent, an unknown level.
AfdBuilder varied_file() {
  AfdBuilder b;
  b.bounds = {5700000, 5000000, 110000000, 90000000};
  b.trailer_box = {5600000, 5500000, 105000000, 100000000};
  const int fra = b.add(Facility::airport("FRANKFURT MAIN", 5560232, 102250716, true));
  Facility nowhere = Facility::airport("NOWHERE");
  nowhere.position.reset();
  const int now = b.add(nowhere);
  const int vor = b.add(Facility::vor("FFM VOR"));
  const int ndb = b.add(Facility::ndb("FFM NDB"));
  Facility odd = Facility::airport("ODD");
  odd.subtype = 9;
  const int oddi = b.add(odd);
  Facility nameless = Facility::airport("X", -100, -200);
  nameless.name.reset();
  b.add(nameless);
  b.add_list().entries = {
      NameRef(kRegion, "EUROPE"),        NameRef(kCountry, "GERMANY"),
      NameRef(kCity, "FRANKFURT"),       NameRef(kAirport, "FRANKFURT MAIN", fra),
      NameRef(kVor, "FFM VOR", vor),     NameRef(kNdb, "FFM NDB", ndb),
      NameRef(kAirport, "NOWHERE", now), NameRef(kAirport, "ODD", oddi)};
  NameRef dangling(kAirport, "DANGLING");
  dangling.raw_link = 0x12345;
  b.add_list().entries = {NameRef(kCity, "LOST"), dangling, NameRef(kAirport, "UNLINKED"),
                          NameRef(0x99999, "STRANGE")};
  return b;
}

class CommandLines : public CliRun, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    put("s.bgl",
        afd({Facility::airport("ALPHA FIELD", 10, 10, true), Facility::airport("BETA", 20, 20),
             Facility::vor("GAMMA VOR"), Facility::ndb("DELTA")},
            {{NameRef(kRegion, "EUROPE"), NameRef(kCity, "SOMEWHERE LONGER"),
              NameRef(kAirport, "ALPHA FIELD", 0)}})
            .build());
    chmod(dir.file("s.bgl").c_str(), 0444);
    put("e.bgl", AfdBuilder().build());
    AfdBuilder bad;
    bad.magic = 0;
    put("bad.bgl", bad.build());
    put("base.bgl", afd({Facility::airport("A")}).build());
    put("other.bgl", afd({Facility::airport("B")}).build());
    put("text.txt", "hello");
    put("in.bgl", extract_input().build());
    // Nested seven deep, but an NDB may stand above a VOR.
    put("nest.bgl", afd({Facility::airport("DEEP", 1, 1)},
                        {{NameRef(kRegion, "R"), NameRef(kCountry, "C"), NameRef(kState, "S"),
                          NameRef(kCity, "T"), NameRef(kAirport, "DEEP", 0), NameRef(kNdb, "N1", 0),
                          NameRef(kVor, "N2", 0)}})
                        .build());
    put("f.bgl", varied_file().build());
    put("single.bgl", afd({Facility::airport("A", 10, 10)}, {{NameRef(kAirport, "A", 0)}}).build());
    AfdBuilder sound =
        afd({Facility::airport("A", 10, 10, true), Facility::vor("V")},
            {{NameRef(kCity, "C"), NameRef(kAirport, "A", 0), NameRef(kVor, "V", 1)}},
            {100, -100, 100, -100});
    sound.trailer_box = {10, 10, 10, 10};
    put("sound.bgl", sound.build());
    // What a link of these would do: the later BRAVO wins, navaids, letter
    // case and an airport after a VOR are left out.
    put("pbase.bgl",
        afd({Facility::airport("ALPHA"), Facility::airport("BRAVO"), Facility::airport("BRAVO"),
             Facility::vor("VICTOR"), Facility::airport("ECHO")})
            .build());
    put("psource.bgl", afd({Facility::vor("ALPHA"), Facility::airport("BRAVO", 1, 1),
                            Facility::airport("ALPHA"), Facility::airport("alpha"),
                            Facility::airport("ECHO"), Facility::airport("BRAVO", 2, 2)})
                           .build());
  }
};

const std::string kSmallReport =
    "containers:        4\nname list:         1\nnames:             3\n--------------------\n"
    "cat count:         8\n\nmax strlen:       16\nmax cont size:    90\n"
    "airports:          2\nairports AI:       1\nvor's:             1\nndb's:             1\n";

const std::string kVariedListing =
    "offset    kind        latitude   longitude  AI  name\n"
    "0x0000A8  airport    50.033332    8.570556  AI  FRANKFURT MAIN\n"
    "0x0000FB  airport            -           -      NOWHERE\n"
    "0x000123  vor                -           -      FFM VOR\n"
    "0x00017B  ndb                -           -      FFM NDB\n"
    "0x0001D3  other              -           -      (no name)  (subtype 9)\n"
    "0x000227  airport    -0.000900   -0.000017      (no name)\n"
    "NameList at 0x00025F\n"
    "  Region:          EUROPE\n"
    "    Country:       GERMANY\n"
    "        City:      FRANKFURT\n"
    "          Airport: FRANKFURT MAIN  -> airport at 0x0000A8\n"
    "          VOR:     FFM VOR  -> vor at 0x000123\n"
    "          NDB:     FFM NDB  -> ndb at 0x00017B\n"
    "          Airport: NOWHERE  -> airport at 0x0000FB\n"
    "          Airport: ODD  -> other at 0x0001D3\n"
    "NameList at 0x000343\n"
    "        City:      LOST\n"
    "          Airport: DANGLING  -> 0x012345: no facility there\n"
    "          Airport: UNLINKED  (no link)\n"
    "          Level 0x99999: STRANGE  (no link)\n"
    "6 facilities, 2 name lists, 12 names\n";

// The whole file: each facility's bytes beyond what the listing reads, the
// trailer, and the findings of -V.
const std::string kVariedJson = R"({"file": "f.bgl",
 "header": {"bounds": {"lat_max": 5700000, "lat_min": 5000000, "lon_max": 110000000, "lon_min": 90000000}, "file_id": [0, 0, 0], "created": {"year": 0, "month": 0, "day": 0, "time": 0}, "format_level": 3, "other_bytes": []},
 "facilities": [
  {"offset": 168, "kind": "airport", "subtype": 1, "name": "FRANKFURT MAIN", "lat": 50.033332, "lon": 8.570556, "lat_raw": 5560232, "lon_raw": 102250716, "ai": true, "reserved": "00000000", "sub_records": ["010001001000000000000000a8d7540000000000dc381806", "060001000f0000004652414e4b46555254204d41494e00", "011001000400000001000000"]},
  {"offset": 251, "kind": "airport", "subtype": 1, "name": "NOWHERE", "lat": null, "lon": null, "lat_raw": null, "lon_raw": null, "ai": false, "reserved": "00000000", "sub_records": ["06000100080000004e4f574845524500"]},
  {"offset": 291, "kind": "vor", "subtype": 2, "name": "FFM VOR", "lat": null, "lon": null, "lat_raw": null, "lon_raw": null, "ai": false, "reserved": "00000000", "sub_records": ["040001003800000011111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111146464d20564f5200"]},
  {"offset": 379, "kind": "ndb", "subtype": 3, "name": "FFM NDB", "lat": null, "lon": null, "lat_raw": null, "lon_raw": null, "ai": false, "reserved": "00000000", "sub_records": ["040001003800000011111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111146464d204e444200"]},
  {"offset": 467, "kind": "other", "subtype": 9, "name": null, "lat": null, "lon": null, "lat_raw": null, "lon_raw": null, "ai": false, "reserved": "00000000", "sub_records": ["04000100340000001111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111114f444400"]},
  {"offset": 551, "kind": "airport", "subtype": 1, "name": null, "lat": -0.000900, "lon": -0.000017, "lat_raw": -100, "lon_raw": -200, "ai": false, "reserved": "00000000", "sub_records": ["0100010010000000000000009cffffff0000000038ffffff"]}
 ],
 "other_records": [],
 "name_lists": [
  {"offset": 607, "entries": [
   {"offset": 631, "level": "region", "name": "EUROPE", "link": 0, "facility": null},
   {"offset": 654, "level": "country", "name": "GERMANY", "link": 0, "facility": null},
   {"offset": 678, "level": "city", "name": "FRANKFURT", "link": 0, "facility": null},
   {"offset": 704, "level": "airport", "name": "FRANKFURT MAIN", "link": 168, "facility": 168},
   {"offset": 735, "level": "vor", "name": "FFM VOR", "link": 291, "facility": 291},
   {"offset": 759, "level": "ndb", "name": "FFM NDB", "link": 379, "facility": 379},
   {"offset": 783, "level": "airport", "name": "NOWHERE", "link": 251, "facility": 251},
   {"offset": 807, "level": "airport", "name": "ODD", "link": 467, "facility": 467}
  ]},
  {"offset": 835, "entries": [
   {"offset": 859, "level": "city", "name": "LOST", "link": 0, "facility": null},
   {"offset": 880, "level": "airport", "name": "DANGLING", "link": 74565, "facility": null},
   {"offset": 905, "level": "airport", "name": "UNLINKED", "link": 0, "facility": null},
   {"offset": 930, "level": 629145, "name": "STRANGE", "link": 0, "facility": null}
  ]}
 ],
 "trailer": {"word": 536871743, "bounds": {"lat_max": 5600000, "lat_min": 5500000, "lon_max": 105000000, "lon_min": 100000000}},
 "problems": [
  {"offset": 467, "note": false, "text": "a facility of unknown subtype 9: link and extract leave it out"},
  {"offset": 551, "note": true, "text": "a facility without a name"},
  {"offset": 807, "note": false, "text": "airport entry \"ODD\" links a facility of kind other (subtype 9) at 0x0001D3"},
  {"offset": 880, "note": false, "text": "name entry \"DANGLING\" links 0x012345, where no facility is"},
  {"offset": 905, "note": false, "text": "airport entry \"UNLINKED\" links no facility"},
  {"offset": 930, "note": false, "text": "name entry \"STRANGE\" has the unknown level 0x99999: extract leaves it out"},
  {"offset": 551, "note": false, "text": "airport \"\" stands behind the vor at 0x000123: a link never replaces it"},
  {"offset": 2, "note": true, "text": "the header's bounds do not cover all airports"}
 ]}
)";

const std::string kBadHeader = "error processing file:\"bad.bgl\"\n";
const std::string kBadMagic = bad_magic("bad.bgl", "0x00000000");
const std::string kIgnored = "quarnel: ignored: ignored\n";

const Case kCases[] = {
    // Dispatch: an unknown letter, or a command without its arguments, does nothing
    // (which letters name a command is checked where the command line is read).
    {"-X x.bgl", "unknown command\n", kHelpHint, 0},
    {"-S", "", "quarnel: too few arguments for -S; usage: quarnel -S file\n", 0},
    {"-C x.bgl", "", "quarnel: too few arguments for -C; usage: quarnel -C file name [name ...]\n",
     0},
    {"-r x.bgl", "", "quarnel: too few arguments for -r; usage: quarnel -R base source [output]\n",
     0},
    {"-m x.bgl", "", "quarnel: too few arguments for -m; usage: quarnel -M base source [output]\n",
     0},
    {"-B", "", "quarnel: too few arguments for -B; usage: quarnel -B description [output]\n", 0},
    {"-V", "", "quarnel: too few arguments for -V; usage: quarnel -V file [file ...]\n", 0},
    {"-L", "", "quarnel: too few arguments for -L; usage: quarnel -L file [file ...]\n", 0},
    {"-p base.bgl", "", "quarnel: too few arguments for -p; usage: quarnel -P base source\n", 0},
    // Under the emulator no arguments raise a message box; the window tests cover it.
    {{}, "unknown command\n", "", 0, "", Where::kPosix},
    // The statistics of a read-only file.
    {"-S s.bgl ignored", kSmallReport, kIgnored, 0},
    {"-S e.bgl",
     "containers:        0\nname list:         0\nnames:             0\n--------------------\n"
     "cat count:         0\n\nmax strlen:        0\nmax cont size:     0\nairports:          0\n"
     "airports AI:       0\nvor's:             0\nndb's:             0\n",
     "", 0},
    // The link's outcomes without an output.
    {"-R base.bgl nos.bgl o.bgl", "cannot open:\"nos.bgl\"\n", no_file("nos.bgl"), 2},
    {"-R bad.bgl nos.bgl o.bgl", "cannot open:\"nos.bgl\"\n", no_file("nos.bgl"), 2},
    {"-R base.bgl text.txt o.bgl", "",
     warning("text.txt") +
         "quarnel: no airport of text.txt has the name of an airport in base.bgl, so there is "
         "nothing to link; \"quarnel -P base.bgl text.txt\" shows them\n",
     5},
    // The extract: only airports are selected, and seven levels may nest.
    {"-C none.bgl XRAY", "cannot open:\"none.bgl\"\n", no_file("none.bgl"), 2},
    {"-C in.bgl xray NOWHERE EU", "",
     "quarnel: no airport named \"xray\" in in.bgl\nquarnel: no airport named \"NOWHERE\" in "
     "in.bgl\nquarnel: no airport named \"EU\" in in.bgl\nquarnel: none of the names selects an "
     "airport; names are compared byte for byte and case-sensitively, and \"quarnel -L in.bgl\" "
     "lists them\n",
     4},
    {"-C nest.bgl DEEP",
     "NameList\n  Region:          R\n    Country:       C\n      State:       S\n"
     "        City:      T\n          Airport: DEEP\n          NDB:     N1\n          VOR:     "
     "N2\n",
     "", 0, "afdtmp.bgl"},
    // The listing; one of each counts in the singular.
    {"-L f.bgl", kVariedListing, "", 0},
    {"-L single.bgl",
     "offset    kind        latitude   longitude  AI  name\n"
     "0x0000A8  airport     0.000090    0.000001      A\nNameList at 0x0000EA\n"
     "          Airport: A  -> airport at 0x0000A8\n1 facility, 1 name list, 1 name\n",
     "", 0},
    for_scripts({"-J f.bgl", kVariedJson, "", 0}),
    // -J prints nothing on standard output when it fails.
    for_scripts({"-J missing.bgl", "",
                 "cannot open:\"missing.bgl\"\n" + no_file("missing.bgl") +
                     "error processing file:\"missing.bgl\"\n",
                 2}),
    for_scripts({"-J bad.bgl", "", kBadMagic + "error processing file:\"bad.bgl\"\n", 3}),
    for_scripts({"-J", "", "quarnel: too few arguments for -J; usage: quarnel -J file\n", 0}),
    // The check: every problem at its offset.
    {"-V sound.bgl", "no problems found\n", "", 0},
    {"-v f.bgl",
     "0x000002: note: the header's bounds do not cover all airports\n"
     "0x0001D3: a facility of unknown subtype 9: link and extract leave it out\n"
     "0x000227: note: a facility without a name\n"
     "0x000227: airport \"\" stands behind the vor at 0x000123: a link never replaces it\n"
     "0x000327: airport entry \"ODD\" links a facility of kind other (subtype 9) at 0x0001D3\n"
     "0x000370: name entry \"DANGLING\" links 0x012345, where no facility is\n"
     "0x000389: airport entry \"UNLINKED\" links no facility\n"
     "0x0003A2: name entry \"STRANGE\" has the unknown level 0x99999: extract leaves it out\n"
     "6 problems found, 2 notes\n",
     "", 8},
    {"-L bad.bgl", kBadHeader, kBadMagic, 3},
    // The preview tells what a link would do, and ends as the link would.
    {"-P pbase.bgl psource.bgl ignored",
     "left out: BRAVO (the later airport of this name at 0x0001F5 replaces it)\n"
     "replaced: ALPHA\nleft out: alpha\nleft out: ECHO\nreplaced: BRAVO\n"
     "2 of 5 source airports replace base airports\n",
     kIgnored, 0},
    {"-P nob.bgl nos.bgl", "cannot open:\"nob.bgl\"\ncannot open:\"nos.bgl\"\n",
     no_file("nob.bgl") + no_file("nos.bgl"), 2},
    {"-P bad.bgl base.bgl", "", kBadMagic, 3},
    {"-P base.bgl other.bgl", "left out: B\n0 of 1 source airport replaces a base airport\n", "",
     5},
};

TEST_P(CommandLines, AsPrinted) { expect_or_skip(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Table, CommandLines, ::testing::ValuesIn(kCases), CaseName());

// ---------------------------------------------------------------- link

struct LinkPair {
  AfdBuilder base, source, expected;
};

// A base with AI airports, a trailer, two lists and an airport after the first
// VOR; a source that replaces two airports with records of other sizes.
LinkPair link_pair() {
  LinkPair p;
  AfdBuilder& b = p.base;
  b = afd({Facility::airport("ALPHA", 100, 100), Facility::airport("BRAVO", 90, -10, true),
           Facility::airport("CHARLIE", 80, 80), Facility::airport("BRAVO", 70, 70),
           Facility::vor("VICTOR"), Facility::airport("ECHO", 60, 60)},
          {{NameRef(kRegion, "R1"), NameRef(kCity, "C1"), NameRef(kAirport, "ALPHA", 0),
            NameRef(kAirport, "BRAVO", 1), NameRef(kVor, "VICTOR", 4)},
           {NameRef(kCity, "C2"), NameRef(kAirport, "CHARLIE", 2), NameRef(kAirport, "BRAVO", 3),
            NameRef(kAirport, "ECHO", 5)}},
          {600, -600, 700, -700});
  b.trailer_word = 0x11223344;
  b.trailer_box = {50, 40, 30, 20};

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
  p.expected.facilities()[0] = alpha;
  p.expected.facilities()[1] = bravo2;
  // The base's trailer box grown by the base's own AI airport (90, -10).
  p.expected.trailer_box = {90, 40, 30, -10};
  return p;
}

// A golden row that writes a file, with its inputs and the file it must write
// (compared but for the stamp).
struct Written : Case {
  Written(Case run, std::vector<std::pair<std::string, Bytes>> in, Bytes want)
      : Case(std::move(run)), inputs(std::move(in)), expected(std::move(want)) {}
  std::vector<std::pair<std::string, Bytes>> inputs;
  Bytes expected;
};
void PrintTo(const Written& w, std::ostream* os) { clitest::PrintTo(w, os); }

std::vector<Written> written_files() {
  std::vector<Written> rows;
  // The link, to a new file or over its own base.
  const LinkPair p = link_pair();
  const std::vector<std::pair<std::string, Bytes>> pair = {{"base.bgl", p.base.build()},
                                                           {"source.bgl", p.source.build()}};
  const std::string replaced =
      "quarnel: 2 of 5 airports of source.bgl replaced airports of base.bgl; 3 left out (\"quarnel "
      "-M\" adds 1 of them)\n";
  rows.push_back(Written({"-R base.bgl source.bgl new.bgl ignored.bgl", "",
                          "quarnel: ignored: ignored.bgl\n" + replaced, 0, "new.bgl"},
                         pair, p.expected.build()));
  rows.push_back(Written({"-R base.bgl source.bgl base.bgl", "", replaced, 0, "base.bgl"}, pair,
                         p.expected.build()));
  // A source whose one airport replaces the base's A.
  const AfdBuilder source = afd({Facility::airport("A", 2, 2)});
  const std::string one = "quarnel: 1 of 1 airport of s.bgl replaced an airport of b.bgl\n";
  // The trailer's word: the default where the base has no trailer or -1 there.
  for (const auto& [with_trailer, word, written_word] :
       {std::tuple{false, 0, 0x2000033F}, {true, -1, 0x2000033F}, {true, 0x7, 0x7}}) {
    AfdBuilder base;
    base.with_trailer = with_trailer;
    base.trailer_word = word;
    base.add(Facility::airport("A", 1, 1));
    AfdBuilder expected = source;
    expected.bounds = base.bounds;
    expected.trailer_word = written_word;
    expected.trailer_box = with_trailer ? base.trailer_box : afdtest::kEmptyBox;
    rows.push_back(Written({"-r b.bgl s.bgl", "", one, 0, "afdtmp.bgl"},
                           {{"b.bgl", base.build()}, {"s.bgl", source.build()}},
                           with_empty_chain(expected.build())));
  }
  // Links to facilities that are not copied are dropped.
  Facility odd = Facility::vor("ODD");
  odd.subtype = 9;  // not catalogued, so not copied
  AfdBuilder base =
      afd({Facility::airport("A", 1, 1), odd},
          {{NameRef(kCity, "C"), NameRef(kVor, "ODD", 1), NameRef(kAirport, "A", 0)}});
  base.list(0).entries[0].raw_link = 4;  // a link into the header: names no facility
  afdtest::Layout at;
  const Bytes base_bytes = base.build(&at);
  char line[64];
  std::snprintf(line, sizeof line, "unknown object 9 at 0x%06X\n", at.facility_offsets[1]);
  AfdBuilder expected = source;
  expected.bounds = base.bounds;
  expected.trailer_box = base.trailer_box;
  expected.add_list().entries = {NameRef(kCity, "C"), NameRef(kVor, "ODD"),
                                 NameRef(kAirport, "A", 0)};
  rows.push_back(Written({"-R b.bgl s.bgl o.bgl", line, one, 0, "o.bgl"},
                         {{"b.bgl", base_bytes}, {"s.bgl", source.build()}}, expected.build()));
  // The extract copies the named airports with their ancestry, and skips
  // lists without them entirely.
  const AfdBuilder in = extract_input();
  expected =
      afd({in.facilities()[0], in.facilities()[1]},
          {{NameRef(kRegion, "EU"), NameRef(kCountry, "DE"), NameRef(kState, "NORD"),
            NameRef(kCity, "KIEL"), NameRef(kAirport, "XRAY", 0), NameRef(kCity, "LUEBECK"),
            NameRef(kAirport, "YANKEE", 1)},
           {NameRef(kRegion, "EU"), NameRef(kCity, "ANYWHERE"), NameRef(kAirport, "YANKEE", 1)}},
          {5605000, 5395000, 107697, -107697});
  expected.trailer_box = {5405000, 5395000, -92441, -107559};
  rows.push_back(
      Written({"-C in.bgl YANKEE XRAY Zulu XRAY",
               "NameList\n  Region:          EU\n    Country:       DE\n      State:       NORD\n"
               "        City:      KIEL\n          Airport: XRAY\n        City:      LUEBECK\n"
               "          Airport: YANKEE\nNameList\n  Region:          EU\n"
               "        City:      ANYWHERE\n          Airport: YANKEE\n",
               "quarnel: no airport named \"Zulu\" in in.bgl\n", 0, "afdtmp.bgl"},
              {{"in.bgl", in.build()}}, expected.build()));
  const AfdBuilder two = afd({Facility::airport("A", 0, 0), Facility::airport("B", 0, 0)},
                             {{NameRef(kCity, "ONLY B"), NameRef(kAirport, "B", 1)},
                              {NameRef(kCity, "HAS A"), NameRef(kAirport, "A", 0)}});
  expected = afd({two.facilities()[0]}, {{NameRef(kCity, "HAS A"), NameRef(kAirport, "A", 0)}},
                 {5000, -5000, 5000, -5000});
  expected.trailer_box = {-2147478648, 2147478647, -2147478648, 2147478647};
  rows.push_back(
      Written({"-C in.bgl A", "NameList\n        City:      HAS A\n          Airport: A\n", "", 0,
               "afdtmp.bgl"},
              {{"in.bgl", two.build()}}, expected.build()));
  return rows;
}

class WrittenFiles : public CliRun, public ::testing::WithParamInterface<Written> {};

TEST_P(WrittenFiles, AsComposed) {
  for (const auto& [name, bytes] : GetParam().inputs) put(name, bytes);
  ASSERT_TRUE(expect_as_printed(GetParam()));
  expect_written_file(file(GetParam().writes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WrittenFiles, ::testing::ValuesIn(written_files()), CaseName());

}  // namespace
