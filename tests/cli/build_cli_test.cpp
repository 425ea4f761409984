// Golden tests of the build command (-B) through the real program: the
// descriptions it refuses and where it says the fault is, its ExitCodes, and
// the README's edits of a listing with jq, each run as a user would run it.
// QUARNEL_EXE and QUARNEL_RUNNER as in cli_test.cpp.
#include "cli_run.h"

namespace {

using namespace clitest;

using BuildCliTest = CliRun;

// An airport, open for more keys; a document of it alone, open for more after its facilities.
const std::string kA = R"({"offset": 1, "kind": "airport", "name": "A", "lat": 1, "lon": 2)";
std::string facility(const std::string& more) { return R"({"facilities": [)" + kA + more + "}]"; }
std::string facilities(const std::string& inside) { return "{\"facilities\": [" + inside + "]}"; }
std::string repeated(const std::string& item, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += (i == 0 ? "" : ",") + item;
  return text;
}

// Descriptions with their ExitCode and the place where each is refused, some
// of an adversarial run: strings, hex and counts far beyond what any file
// needs, NUL bytes, keys left out, values at the edges of the format. None may
// abort or leave a file behind; what builds passes the check.
TEST_F(BuildCliTest, EachDescriptionEndsWithItsExitCodeAtItsPlace) {
  std::string pooled;
  std::string pooled_entries;
  for (int i = 0; i < 80; ++i) {
    std::string name = "A" + std::to_string(i);
    name.resize(5000, 'X');
    pooled += (i == 0 ? "" : ",") + std::string(R"({"kind": "airport", "name": ")") + name +
              R"(", "lat": 1, "lon": 2})";
    pooled_entries +=
        (i == 0 ? "" : ",") + std::string(R"({"level": "city", "name": ")") + name + "\"}";
  }
  const std::string pool_full =
      ".name: does not fit the tool's name pool, which the names before it fill (400000 bytes "
      "for all names): it would never match";
  const std::string nul = ": a NUL byte, which no JSON text holds";
  const std::string too_long =
      "facilities[0].name: the tool would not read this back: it looks at no more than a "
      "record's first 63990 bytes";
  struct Case {
    std::string doc;
    int rc;
    std::string line;  // after "invalid description: ", or -V's last line of what was built
  };
  const std::vector<Case> cases = {
      {"{\"facilities\": [}", 9,
       "line 1, column 17: syntax error while parsing value - unexpected "
       "'}'; expected '[', '{', or a literal"},
      {"[]", 9, "top level: must be an object"},
      {facility(", \"lattitude\": 5") + "}", 9, "facilities[0].lattitude: unknown key"},
      {facility(", \"name\": \"B\"") + "}", 9, "facilities[0].name: duplicate key"},
      {facility(", \"lat_raw\": 5") + "}", 9,
       "facilities[0].lat: lat and lat_raw disagree: give one of them"},
      {R"({"facilities": [{"kind": "airport", "name": "A", "lat": 90.5, "lon": 0}]})", 9,
       "facilities[0].lat: must be from -90 to 90 degrees"},
      {R"({"facilities": [{"kind": "airport", "name": "A", "lat": 1}]})", 9,
       "facilities[0].lon: a position needs both lat and lon"},
      {R"({"facilities": [{"kind": "airport", "name": "A", "lat_raw": 1)" + std::string(400, '0') +
           ", \"lon_raw\": 0}]}",
       9, "facilities[0].lat_raw: a number too large to read"},
      {R"({"facilities": [{"kind": "airport", "name": "\u4e2d"}]})", 9,
       "facilities[0].name: U+4E2D is not a character that Windows-1252 holds"},
      {R"({"facilities": [{"kind": "airport", "name": "\u0080"}]})", 9,
       "facilities[0].name: U+0080 is not a character that Windows-1252 holds"},
      {R"({"facilities": [{"kind": "airport", "name": "A\u0000B"}]})", 9,
       "facilities[0].name: a NUL inside a name"},
      {R"({"facilities": [{"kind": "airport", "name": ")" + std::string(100000, 'N') + "\"}]}", 9,
       too_long},
      // A name longer than the parser is handed.
      {facilities(R"({"kind": "airport", "name": ")" + std::string(500000, 'N') + "\"}"), 9,
       too_long},
      {R"({"name_lists": [{"entries": [{"level": "city", "name": ")" + std::string(500000, 'N') +
           "\"}]}]}",
       9,
       "name_lists[0].entries[0].name: longer than the 63981 bytes that the tool reads of a name"},
      {R"({"facilities": [{"kind": "other", "name": null}]})", 9,
       "facilities[0].subtype: a facility of kind other needs its subtype"},
      {R"({"facilities": [{"kind": "vor", "name": "V", "ai": true}]})", 9,
       "facilities[0].ai: only an airport can be an AI airport"},
      {R"({"facilities": [{"offset": 1, "kind": "vor", "name": "V"}, {"offset": 1, "kind": "vor", )"
       R"("name": "W"}]})",
       9,
       "facilities[1].offset: another facility has this offset: an offset is a facility's "
       "identity"},
      {facility("") + R"(, "name_lists": [{"entries": [{"level": "airport", "name": "A", )"
                      R"("facility": 2}]}]})",
       9, "name_lists[0].entries[0].facility: no facility has this offset"},
      // An entry that names another entry as its facility.
      {facility("") + R"(, "name_lists": [{"entries": [{"offset": 7, "level": "city", "name": )"
                      R"("C"}, {"level": "airport", "name": "A", "facility": 7}]}]})",
       9, "name_lists[0].entries[1].facility: no facility has this offset"},
      {R"({"other_records": [{"after": 3, "bytes": "0700000000000000"}]})", 9,
       "other_records[0].after: no facility has this offset"},
      {R"({"facilities": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})",
       9, "facilities[0]: must be an object"},
      {"{\"problems\": " + std::string(600, '[') + std::string(600, ']') + "}", 9,
       "problems: nests deeper than 512 levels"},
      {R"({"header": {"format_level": 2}})", 9,
       "header.format_level: must be an integer from 3 to 2147483647: the tool reads no file of "
       "a lower level"},
      {R"({"facilities": [{"kind": "airport", "name": "A", "sub_records": ["0100"]}]})", 9,
       "facilities[0].sub_records[0]: a sub-record needs at least its 8-byte head"},
      {R"({"facilities": [{"kind": "airport", "name": "A", "end": "0g"}]})", 9,
       "facilities[0].end: must be a string of hex digits, two for each byte"},
      // Hex digits written as escapes.
      {facilities(kA + R"(, "end": "\u0030\u0030"})"), 9,
       "facilities[0].end: must be a string of hex digits, two for each byte"},
      {facilities(kA + R"(, "reserved": ")" + std::string(1 << 20, '0') + "\"}"), 9,
       "facilities[0].reserved: must be at most 4 bytes (8 hex digits)"},
      {facilities(kA + R"(, "sub_records": ["10000100e0930400)" + std::string(600000, 'a') +
                  "\"]}"),
       0, "no problems found, 1 note"},
      // Lengths far beyond any file's, which are kept or refused whole.
      {R"({"file": ")" + std::string(1 << 20, 'F') + R"(", "facilities": []})", 0,
       "no problems found"},
      {R"({"problems": [{"offset": 0, "note": true, "text": ")" + std::string(1 << 20, 'T') +
           R"("}], "facilities": []})",
       0, "no problems found"},
      {facilities(R"({"kind": "airport", "name": "A", "lat_raw": )" + std::string(5000, '7') +
                  R"(, "lon_raw": 0})"),
       9, "facilities[0].lat_raw: a number too long to read"},
      {facilities("{\"" + std::string(500000, 'k') + "\": 1}"), 9,
       "facilities[0]: a key of more than 400000 characters: no key is one"},
      {facilities(R"({"kind": ")" + std::string(500000, 'a') + "\"}"), 9,
       "facilities[0].kind: must be \"airport\", \"vor\", \"ndb\" or \"other\""},
      // NUL bytes behind the document, inside a string and in a run of blanks.
      {std::string("{\"facilities\": []}\0garbage", 25), 9, "line 1, column 19" + nul},
      {std::string("{\"file\": \"a\0b\"}", 15), 9, "line 1, column 12" + nul},
      {std::string("{\"facilities\": []   \n   \0", 25), 9, "line 2, column 4" + nul},
      // Names and entry names beyond the name pool.
      {facilities(pooled), 9, "facilities[79]" + pool_full},
      {R"({"name_lists": [{"entries": [)" + pooled_entries + "]}]}", 9,
       "name_lists[0].entries[79]" + pool_full},
      // Keys left out.
      {R"({"name_lists": [{"entries": [{"name": "EU", "facility": null}]}]})", 9,
       "name_lists[0].entries[0]: the key level is missing"},
      {R"({"header": {"bounds": {"lat_max": 1}}})", 9, "header.bounds: the key lat_min is missing"},
      {R"({"header": {"created": {"year": 1, "month": 2, "time": 3}}})", 9,
       "header.created: the key day is missing"},
      {R"({"other_records": [{"after": null}]})", 9, "other_records[0]: the key bytes is missing"},
      {R"({"header": {"other_bytes": [{"bytes": "ff"}]}})", 9,
       "header.other_bytes[0]: the key at is missing"},
      // Counts beyond what a header or a build holds.
      {R"({"header": {"other_bytes": [)" + repeated(R"({"at": 20, "bytes": "ff"})", 169) + "]}}", 9,
       "header.other_bytes[168]: more runs than the header has bytes"},
      {facilities(repeated(R"({"kind": "other", "subtype": 9})", 100001)), 9,
       "facilities[100000]: more than the 100000 records in the object list that a build holds"},
      {R"({"name_lists": [{"entries": [)" + repeated(R"({"level": "city", "name": "C"})", 20001) +
           "]}]}",
       9,
       "name_lists[0].entries[19999]: more than the 20000 records that the tool can catalogue: it "
       "would not read back the rest"},
      // Values at the edges: degrees of negative zero beside raw values, an AI
      // airport at 179.9999 degrees, one beyond the pole at the edge of the raw values.
      {facilities(
           R"({"kind": "airport", "name": "Z", "lat": -0.0, "lat_raw": 0, "lon": -0, "lon_raw": -1})"),
       0, "no problems found"},
      {facilities(
           R"({"kind": "airport", "name": "EDGE", "lat": -16.5, "lon": 179.9999, "ai": true})"),
       0, "no problems found"},
      {facilities(
           R"({"kind": "airport", "name": "HI", "lat_raw": 2147479000, "lon_raw": -2147483648})"),
       0, "no problems found"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(afdtest::numbered("row ", i) + ": " + c.line);
    put("doc.json", c.doc);
    put("out.bgl", "EARLIER");
    const Result r = sh("$Q -B doc.json out.bgl");
    EXPECT_EQ(r.rc, c.rc) << r.out;
    if (c.rc == 9) {
      EXPECT_EQ(r.out, kBanner + "invalid description: " + c.line + "\n");
      const Bytes kept = file("out.bgl");
      EXPECT_EQ(std::string(kept.begin(), kept.end()), "EARLIER");
    } else {
      EXPECT_EQ(r.out, kBanner);
      // Bounds that cover every airport: no note of them.
      EXPECT_EQ(sh("$Q -V out.bgl | tail -n 1").out, c.line + "\n") << sh("$Q -V out.bgl").out;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"doc.json", "out.bgl"}));
  }
}

// jq writes the -0.000000 of a longitude just below 0 as -0; the build reads
// it as the same value.
TEST_F(BuildCliTest, NegativeZeroComesBackThroughJq) {
  if (sh("command -v jq").rc != 0) FAIL() << "jq is needed (scripts/test installs it)";
  put("doc.json",
      R"({"facilities": [{"kind": "airport", "name": "Z", "lat_raw": 5, "lon_raw": -1}]})");
  const Result r =
      sh("$Q -B doc.json z.bgl && $Q -J z.bgl | jq . | tee z.json | $Q -B - again.bgl && "
         "grep -c '\"lon\": -0,' z.json && cmp z.bgl again.bgl && echo same");
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_EQ(r.out, kBanner + kBanner + "1\nsame\n");
}

// The README's repair: a rebuilt damaged file keeps an airport entry whose
// link named nothing, without a link; the jq filter it gives drops it.
TEST_F(BuildCliTest, ARepairedFileKeepsItsDanglingEntriesUntilJqDropsThem) {
  if (sh("command -v jq").rc != 0) FAIL() << "jq is needed (scripts/test installs it)";
  AfdBuilder b =
      afd({Facility::airport("A", 1, 2)},
          {{NameRef(kCity, "TOWN"), NameRef(kAirport, "A", 0), NameRef(kAirport, "GONE")}});
  b.list(0).entries[2].raw_link = 0x12345;
  put("damaged.bgl", b.build());
  const std::string drop =
      R"(del(.name_lists[].entries[] | select(.facility == null and (.level == "airport" or )"
      R"(.level == "vor" or .level == "ndb"))))";
  put("drop.jq", drop);
  const Result kept = sh("$Q -J damaged.bgl | $Q -B - kept.bgl >/dev/null; $Q -V kept.bgl");
  EXPECT_NE(kept.out.find(": airport entry \"GONE\" links no facility\n1 problem found\n"),
            std::string::npos)
      << kept.out;
  const Result repaired =
      sh("$Q -J damaged.bgl | jq -f drop.jq | $Q -B - repaired.bgl >/dev/null; "
         "$Q -V repaired.bgl | tail -n 1; $Q -L repaired.bgl | tail -n 1");
  EXPECT_EQ(repaired.out, "no problems found\n1 facility, 1 name list, 2 names\n");
}

// "-" reads the description from standard input; without an output the build
// writes afdtmp.bgl.
TEST_F(BuildCliTest, StandardInputAndTheDefaultOutput) {
  put("doc.json", R"({"facilities": [{"kind": "airport", "name": "ONE", "lat": 1, "lon": 2}]})");
  const Result r = sh("$Q -b - from-stdin.bgl < doc.json && $Q -B doc.json");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, kBanner + kBanner);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"afdtmp.bgl", "doc.json", "from-stdin.bgl"}));
  EXPECT_EQ(file("afdtmp.bgl").size(), file("from-stdin.bgl").size());
}

// The README's edits: each is a jq filter over the listing of the bundled
// base file, then a build; the result is checked with -L and -V.
TEST_F(BuildCliTest, TheReadmeEditsWithJq) {
  if (sh("command -v jq").rc != 0) FAIL() << "jq is needed (scripts/test installs it)";
  afdtest::write_file(dir.file("base.bgl"),
                      afdtest::read_file(std::string(QUARNEL_SAMPLES_DIR) + "/base.bgl"));
  struct Case {
    std::string name;
    std::string filter;
    std::string checked;                       // -V's last line
    std::vector<std::string> listed;           // lines of -L's output that must be there
    std::vector<std::string> not_listed = {};  // texts that must not be
  };
  const std::string sorted =
      R"(.facilities |= (map(select(.kind == "airport")) + map(select(.kind != "airport"))))";
  const std::vector<Case> cases = {
      {"rename",
       R"((.facilities[] | select(.kind == "airport" and .name == "HAMBURG") | .offset) as $a
          | ((.facilities[] | select(.offset == $a)),
             (.name_lists[].entries[] | select(.facility == $a))).name = "HAMBURG/FUHLSBUETTEL")",
       "no problems found",
       {"0x0000A8  airport    53.630399    9.988200      HAMBURG/FUHLSBUETTEL",
        "      State:       HAMBURG", "        City:      HAMBURG",
        "          Airport: HAMBURG/FUHLSBUETTEL  -> airport at 0x0000A8",
        "          VOR:     HAMBURG VOR  -> vor at 0x000257"},
       {"Airport: HAMBURG  "}},
      {"move by degrees",
       R"((.facilities[] | select(.name == "MUENCHEN")) |= (.lat += 0.25 | .lon -= 0.05 | del(.lat_raw, .lon_raw)))",
       "no problems found",
       {"0x0001C7  airport    48.603806   11.736100      MUENCHEN"}},
      {"clear the AI mark",
       R"((.facilities[] | select(.name == "BREMEN")).ai = false)",
       "no problems found",
       {"0x0000E8  airport    53.047499    8.786700      BREMEN"}},
      {"delete a VOR and its entries",
       R"((.facilities[] | select(.name == "HAMBURG VOR") | .offset) as $vor
          | del(.facilities[] | select(.offset == $vor))
          | del(.name_lists[].entries[] | select(.facility == $vor)))",
       "no problems found",
       {"0x00024A  ndb                -           -      BREMEN NDB",
        "7 facilities, 2 name lists, 23 names"},
       {"HAMBURG VOR"}},
      {"add an airport under an existing city",
       R"(.facilities += [{"offset": 1, "kind": "airport", "name": "FINKENWERDER", "lat": 53.54, "lon": 9.835}]
          | .name_lists[0].entries |= ((map(.level == "city" and .name == "HAMBURG") | index(true)) as $i
              | .[:$i + 1] + [{"level": "airport", "name": "FINKENWERDER", "facility": 1}] + .[$i + 1:]))",
       "1 problem found",
       {"0x000301  airport    53.540000    9.835000      FINKENWERDER",
        "          Airport: FINKENWERDER  -> airport at 0x000301"}},
      {"then move it ahead of the first VOR",
       R"(.facilities += [{"offset": 1, "kind": "airport", "name": "FINKENWERDER", "lat": 53.54, "lon": 9.835}]
          | )" +
           sorted,
       "no problems found",
       {"0x00024A  airport    53.540000    9.835000      FINKENWERDER"}},
  };
  for (const Case& c : cases) {
    put("edit.jq", c.filter);
    const Result built =
        sh("$Q -J base.bgl | jq -f edit.jq | $Q -B - edited.bgl && $Q -L edited.bgl");
    ASSERT_EQ(built.rc, 0) << c.name << "\n" << built.out;
    for (const std::string& line : c.listed) {
      EXPECT_NE(built.out.find(line + "\n"), std::string::npos) << c.name << "\n" << built.out;
    }
    for (const std::string& text : c.not_listed) {
      EXPECT_EQ(built.out.find(text), std::string::npos) << c.name << "\n" << built.out;
    }
    const Result checked = sh("$Q -V edited.bgl | tail -n 1");
    EXPECT_EQ(checked.out, c.checked + "\n") << c.name;
  }
}

TEST_F(BuildCliTest, AThreeAirportFileFromAShortDocument) {
  put("three.json", R"({"facilities": [
  {"offset": 1, "kind": "airport", "name": "ALPHA", "lat": 50.1, "lon": 8.5, "ai": true},
  {"offset": 2, "kind": "airport", "name": "BRAVO", "lat": 50.2, "lon": 8.6},
  {"offset": 3, "kind": "airport", "name": "CHARLIE", "lat": 50.3, "lon": 8.7}],
 "name_lists": [{"entries": [
  {"level": "region", "name": "EUROPE"},
  {"level": "city", "name": "TOWN"},
  {"level": "airport", "name": "ALPHA", "facility": 1},
  {"level": "airport", "name": "BRAVO", "facility": 2},
  {"level": "airport", "name": "CHARLIE", "facility": 3}]}]})");
  const Result r = sh("$Q -B three.json three.bgl && $Q -L three.bgl && $Q -V three.bgl");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out.substr(r.out.find("offset ")),
            "offset    kind        latitude   longitude  AI  name\n"
            "0x0000A8  airport    50.100001    8.500000  AI  ALPHA\n"
            "0x0000F2  airport    50.200001    8.600000      BRAVO\n"
            "0x000130  airport    50.300000    8.700000      CHARLIE\n"
            "NameList at 0x000178\n"
            "  Region:          EUROPE\n"
            "        City:      TOWN\n"
            "          Airport: ALPHA  -> airport at 0x0000A8\n"
            "          Airport: BRAVO  -> airport at 0x0000F2\n"
            "          Airport: CHARLIE  -> airport at 0x000130\n"
            "3 facilities, 1 name list, 5 names\n"
            "QUARNEL 1.2\n"
            "no problems found\n");
}

}  // namespace
