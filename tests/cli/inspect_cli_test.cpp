// Golden tests of the commands that look inside files (-L, -J, -V, -P): the
// real program in a scratch folder, its exit code and both output streams
// compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afd_builder.h"
#include "cli_run.h"
#include "json_value.h"

namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;

using namespace afdtest::levels;

using clitest::kBanner;
using clitest::Result;
using InspectCliTest = clitest::CliRun;

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

TEST_F(InspectCliTest, ListShowsFacilitiesAndTheNameTree) {
  put("f.bgl", varied_file().build());
  for (const char* option : {"-L", "-l", "-List"}) {
    const Result r = run({option, "f.bgl"});
    EXPECT_EQ(r.out, std::string(kBanner) +
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
                         "6 facilities, 2 name lists, 12 names\n")
        << option;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.rc, 0);
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"f.bgl"});
}

TEST_F(InspectCliTest, ListCountsOneInTheSingular) {
  AfdBuilder b;
  const int a = b.add(Facility::airport("A", 10, 10));
  b.add_list().entries = {NameRef(kAirport, "A", a)};
  put("f.bgl", b.build());
  const Result r = run({"-L", "f.bgl"});
  EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
            "1 facility, 1 name list, 1 name\n");
}

TEST_F(InspectCliTest, JsonListingIsTheListingForScripts) {
  put("f.bgl", varied_file().build());
  const Result r = run({"-J", "f.bgl"});
  // The whole file: each facility's bytes beyond what the listing reads, the
  // trailer, and the findings of -V.
  EXPECT_EQ(r.out, R"({"file": "f.bgl",
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
)");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.rc, 0);
  afdtest::Json doc;
  std::string error;
  ASSERT_TRUE(afdtest::parse_json(r.out, &doc, &error)) << error;
  EXPECT_EQ(doc["facilities"].items.size(), 6u);
  EXPECT_EQ(doc["name_lists"].items.size(), 2u);
}

TEST_F(InspectCliTest, JsonCarriesAnyNameAsValidUtf8) {
  AfdBuilder b;
  const std::string hostile = "A\"B\\C\x01\x1F\x7F\x80\x81\x9F\xE9\xFF/";
  const int a = b.add(Facility::airport(hostile, 1, 2));
  b.add_list().entries = {NameRef(kCity, "\t\n\r"), NameRef(kAirport, hostile, a)};
  put("f.bgl", b.build());
  const Result r = run({"-J", "f.bgl"});
  ASSERT_EQ(r.rc, 0);
  const std::string escaped =
      "\"A\\\"B\\\\C\\u0001\\u001F\\u007F\u20AC\\u0081\u0178\u00E9\u00FF/\"";
  EXPECT_NE(r.out.find("\"name\": " + escaped + ", \"lat\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"name\": \"\\t\\n\\r\""), std::string::npos) << r.out;
  afdtest::Json doc;
  std::string error;
  ASSERT_TRUE(afdtest::parse_json(r.out, &doc, &error)) << error;
  const std::string decoded = "A\"B\\C\x01\x1F\x7F\u20AC\u0081\u0178\u00E9\u00FF/";
  EXPECT_EQ(doc["facilities"].items.at(0)["name"].text, decoded);
  EXPECT_EQ(doc["name_lists"].items.at(0)["entries"].items.at(1)["name"].text, decoded);
}

TEST_F(InspectCliTest, JsonFailuresLeaveStandardOutputEmpty) {
  AfdBuilder bad;
  bad.magic = 0;
  put("bad.bgl", bad.build());
  struct Case {
    std::vector<std::string> args;
    std::string err;
    int rc;
  };
  const Case cases[] = {
      {{"-J", "missing.bgl"},
       "cannot open:\"missing.bgl\"\n"
       "quarnel: cannot open missing.bgl: no such file; check its name and folder\n"
       "error processing file:\"missing.bgl\"\n",
       2},
      {{"-J", "bad.bgl"},
       "quarnel: bad.bgl is not an AFD file: its magic number is 0x00000000, not 0x87654321\n"
       "error processing file:\"bad.bgl\"\n",
       3},
      {{"-J"}, "quarnel: too few arguments for -J; usage: quarnel -J file\n", 0},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, "") << c.args.back();
    EXPECT_EQ(r.err, c.err) << c.args.back();
    EXPECT_EQ(r.rc, c.rc) << c.args.back();
  }
}

TEST_F(InspectCliTest, CheckOfASoundFile) {
  AfdBuilder b;
  b.bounds = {100, -100, 100, -100};
  b.trailer_box = {10, 10, 10, 10};
  const int a = b.add(Facility::airport("A", 10, 10, true));
  const int v = b.add(Facility::vor("V"));
  b.add_list().entries = {NameRef(kCity, "C"), NameRef(kAirport, "A", a), NameRef(kVor, "V", v)};
  put("f.bgl", b.build());
  const Result r = run({"-V", "f.bgl"});
  EXPECT_EQ(r.out, std::string(kBanner) + "no problems found\n");
  EXPECT_EQ(r.rc, 0);
}

TEST_F(InspectCliTest, CheckReportsEveryProblemAtItsOffset) {
  put("f.bgl", varied_file().build());
  const Result r = run({"-v", "f.bgl"});
  EXPECT_EQ(
      r.out,
      std::string(kBanner) +
          "0x000002: note: the header's bounds do not cover all airports\n"
          "0x0001D3: a facility of unknown subtype 9: link and extract leave it out\n"
          "0x000227: note: a facility without a name\n"
          "0x000227: airport \"\" stands behind the vor at 0x000123: a link never replaces it\n"
          "0x000327: airport entry \"ODD\" links a facility of kind other (subtype 9) at 0x0001D3\n"
          "0x000370: name entry \"DANGLING\" links 0x012345, where no facility is\n"
          "0x000389: airport entry \"UNLINKED\" links no facility\n"
          "0x0003A2: name entry \"STRANGE\" has the unknown level 0x99999: extract leaves it out\n"
          "6 problems found, 2 notes\n");
  EXPECT_EQ(r.rc, 8);
}

TEST_F(InspectCliTest, CheckAndListFailuresAreThoseOfStatistics) {
  AfdBuilder bad;
  bad.format_level = 1;
  put("bad.bgl", bad.build());
  for (const char* option : {"-V", "-L"}) {
    Result r = run({option, "missing.bgl"});
    EXPECT_EQ(r.out, std::string(kBanner) +
                         "cannot open:\"missing.bgl\"\nerror processing file:\"missing.bgl\"\n");
    EXPECT_EQ(r.rc, 2);
    r = run({option, "bad.bgl"});
    EXPECT_EQ(r.out, std::string(kBanner) + "error processing file:\"bad.bgl\"\n");
    EXPECT_EQ(r.rc, 3);
    r = run({option});
    EXPECT_EQ(r.out, kBanner);
    EXPECT_EQ(r.rc, 0);
  }
}

TEST_F(InspectCliTest, PreviewTellsWhatALinkWouldDo) {
  AfdBuilder base;
  base.add(Facility::airport("ALPHA"));
  base.add(Facility::airport("BRAVO"));
  base.add(Facility::airport("BRAVO"));
  base.add(Facility::vor("VICTOR"));
  base.add(Facility::airport("ECHO"));
  AfdBuilder source;
  source.add(Facility::vor("ALPHA"));
  source.add(Facility::airport("BRAVO", 1, 1));
  source.add(Facility::airport("ALPHA"));
  source.add(Facility::airport("alpha"));
  source.add(Facility::airport("ECHO"));
  source.add(Facility::airport("BRAVO", 2, 2));
  put("base.bgl", base.build());
  put("source.bgl", source.build());
  const Result r = run({"-P", "base.bgl", "source.bgl", "ignored"});
  EXPECT_EQ(r.out, std::string(kBanner) +
                       "left out: BRAVO (the later airport of this name at 0x0001F5 replaces it)\n"
                       "replaced: ALPHA\n"
                       "left out: alpha\n"
                       "left out: ECHO\n"
                       "replaced: BRAVO\n"
                       "2 of 5 source airports replace base airports\n");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"base.bgl", "source.bgl"}));
}

TEST_F(InspectCliTest, PreviewOutcomesAreThoseOfLink) {
  AfdBuilder base;
  base.add(Facility::airport("A"));
  AfdBuilder other;
  other.add(Facility::airport("B"));
  AfdBuilder bad = base;
  bad.section_tag = 3;
  put("base.bgl", base.build());
  put("other.bgl", other.build());
  put("bad.bgl", bad.build());
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int rc;
  };
  const Case cases[] = {
      {{"-P", "nob.bgl", "nos.bgl"}, "cannot open:\"nob.bgl\"\ncannot open:\"nos.bgl\"\n", 2},
      {{"-P", "bad.bgl", "base.bgl"}, "", 3},
      {{"-P", "base.bgl", "other.bgl"},
       "left out: B\n0 of 1 source airport replaces a base airport\n",
       5},
      {{"-P", "base.bgl", "base.bgl"},
       "replaced: A\n1 of 1 source airport replaces a base airport\n",
       0},
      {{"-p", "base.bgl"}, "", 0},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, kBanner + c.out) << c.args[1];
    EXPECT_EQ(r.rc, c.rc) << c.args[1];
  }
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bad.bgl", "base.bgl", "other.bgl"}));
}

}  // namespace
