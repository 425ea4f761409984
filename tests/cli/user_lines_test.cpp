// Golden tests of the lines written for people rather than scripts: names in
// the terminal's form, the warnings and summaries on standard error, several
// files for -L and -V, and the arguments a command ignores. Each case is the
// real program's exit code and both streams, byte for byte.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "afd_builder.h"
#include "cli_run.h"

namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;
using clitest::kBanner;
using clitest::Result;

using namespace afdtest::levels;
// "MÜNCHEN" as a file holds it (Windows-1252) and as a UTF-8 terminal shows it.
const std::string kInFile = "M\xDCNCHEN";
const std::string kUtf8 = "M\xC3\x9CNCHEN";
// A name with a byte that Windows-1252 leaves undefined and a control character.
const std::string kOdd = "O\x81\x01K";

AfdBuilder base_file() {
  AfdBuilder b;
  b.bounds = {40, 0, 40, 0};
  b.add(Facility::airport("HAMBURG", 10, 10));
  const int m = b.add(Facility::airport(kInFile, 20, 20));
  b.add(Facility::airport(kOdd, 30, 30));
  b.add_list().entries = {NameRef(kState, "BAYERN"), NameRef(kCity, kInFile),
                          NameRef(kAirport, kInFile, m)};
  return b;
}

AfdBuilder airports(const std::vector<std::string>& names) {
  AfdBuilder b;
  b.bounds = {10, 0, 10, 0};
  for (const std::string& name : names) b.add(Facility::airport(name, 1, 1));
  return b;
}

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

class UserLinesTest : public clitest::CliRun {
 protected:
  void SetUp() override {
    afdtest::Layout layout;
    const Bytes base = base_file().build(&layout);
    put("base.bgl", base);
    put("cut.bgl", Bytes(base.begin(), base.begin() + layout.facility_offsets[1] + 12));
    Bytes flipped = base;
    flipped[layout.facility_offsets[1] + 7] ^= 0x80;  // the record's size turns negative
    put("flipped.bgl", flipped);
    put("one.bgl", airports({"HAMBURG"}).build());
    put("source.bgl", airports({kInFile, "KASSEL"}).build());
    put("twice.bgl", airports({"HAMBURG", "HAMBURG"}).build());
    put("mixed.bgl", airports({"HAMBURG", "KASSEL", "KASSEL"}).build());
    put("notes.txt", Bytes(200, 'x'));
    const std::string vor = R"({"kind": "vor", "name": "V"}, )";
    const std::string airport =
        R"({"kind": "airport", "name": "M\u00dcNCHEN", "lat": 1, "lon": 1})";
    put("one.json", text_bytes(R"({"facilities": [)" + vor + airport + "]}"));
    put("two.json", text_bytes(R"({"facilities": [)" + vor + airport + ", " + airport + "]}"));
  }
  static Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
};

using clitest::Where;
using Case = clitest::LineCase;

std::string warning(const std::string& file) {
  return "quarnel: warning: " + file + " has problems that \"quarnel -V " + file +
         "\" lists; only what could be read is used\n";
}

const std::string kListHead = "NameList at 0x00016D\n      State:       BAYERN\n";

// The report of a file with HAMBURG as its one facility.
std::string report(const char* lists, const char* entries, const char* count) {
  return std::string("containers:        1\nname list:         ") + lists +
           "\nnames:             " + entries + "\n--------------------\ncat count:         " +
           count +
           "\n\nmax strlen:        7\nmax cont size:    64\nairports:          1\n"
           "airports AI:       0\nvor's:             0\nndb's:             0\n";
}

const Case kCases[] = {
    // Names decoded into UTF-8 on POSIX, as they are on Windows.
    {{"-L", "base.bgl"},
     "offset    kind        latitude   longitude  AI  name\n"
     "0x0000A8  airport     0.000090    0.000001      HAMBURG\n"
     "0x0000E8  airport     0.000180    0.000002      " + kUtf8 + "\n"
     "0x000128  airport     0.000270    0.000003      O\\x81\\x01K\n" + kListHead +
         "        City:      " + kUtf8 + "\n"
         "          Airport: " + kUtf8 + "  -> airport at 0x0000E8\n"
         "3 facilities, 1 name list, 3 names\n",
     "", 0, Where::kPosix},
    {{"-L", "base.bgl"},
     "offset    kind        latitude   longitude  AI  name\n"
     "0x0000A8  airport     0.000090    0.000001      HAMBURG\n"
     "0x0000E8  airport     0.000180    0.000002      " + kInFile + "\n"
     "0x000128  airport     0.000270    0.000003      O\x81\\x01K\n" + kListHead +
         "        City:      " + kInFile + "\n"
         "          Airport: " + kInFile + "  -> airport at 0x0000E8\n"
         "3 facilities, 1 name list, 3 names\n",
     "", 0, Where::kWindows},
    {{"-P", "base.bgl", "source.bgl"},
     "replaced: " + kUtf8 +
         "\nleft out: KASSEL\n1 of 2 source airports replaces a base airport\n",
     "", 0, Where::kPosix},
    {{"-M", "base.bgl", "source.bgl", "merged.bgl"},
     "replaced: " + kUtf8 + "\nadded: KASSEL (no name entry; 0.000\xC2\xB0 from " + kUtf8 +
         ")\n1 replaced, 1 added, 0 left out\n",
     "", 0, Where::kPosix},
    {{"-V", "twice.bgl", "source.bgl"},
     "==> twice.bgl <==\n"
     "0x0000E8: airport \"HAMBURG\" has the name of the airport at 0x0000A8: a link never "
     "replaces it\n1 problem found\n\n==> source.bgl <==\nno problems found\n",
     "", 8},
    // A name typed in UTF-8 selects the airport the file holds in Windows-1252;
    // the trace shows the file's bytes.
    {{"-C", "base.bgl", kUtf8, "NOWHERE"},
     "NameList\n      State:       BAYERN\n        City:      " + kInFile +
         "\n          Airport: " + kInFile + "\n",
     "quarnel: no airport named \"NOWHERE\" in base.bgl\n", 0, Where::kPosix},
    // -S on damaged files: the report as always, and the warning.
    {{"-S", "cut.bgl"}, report("0", "0", "1"), warning("cut.bgl"), 0},
    {{"-S", "flipped.bgl"}, report("1", "3", "5"), warning("flipped.bgl"), 0},
    // -B: what -V would find, a description that would be overwritten, one
    // that is missing.
    {{"-B", "one.json", "p1.bgl"}, "",
     "quarnel: warning: p1.bgl has 1 problem: 0x0000FA: airport \"" + kUtf8 +
         "\" stands behind the vor at 0x0000A8: a link never replaces it; \"quarnel -V "
         "p1.bgl\" shows it\n",
     0, Where::kPosix},
    {{"-B", "two.json", "p2.bgl"}, "",
     "quarnel: warning: p2.bgl has 2 problems; the first: 0x0000FA: airport \"" + kUtf8 +
         "\" stands behind the vor at 0x0000A8: a link never replaces it; \"quarnel -V "
         "p2.bgl\" lists them\n",
     0, Where::kPosix},
    {{"-B", "one.json", "one.json"}, "",
     "quarnel: cannot write one.json: it is the description being read; name another output\n",
     6},
    {{"-B", "nosuch.json", "x.bgl"}, "cannot open:\"nosuch.json\"\n",
     "quarnel: cannot open nosuch.json: no such file; check its name and folder\n", 2},
    // The link's summary, by what became of the airports it left out.
    {{"-R", "base.bgl", "one.bgl", "x.bgl"}, "",
     "quarnel: 1 of 1 airport of one.bgl replaced an airport of base.bgl\n", 0},
    {{"-R", "base.bgl", "source.bgl", "x.bgl"}, "",
     "quarnel: 1 of 2 airports of source.bgl replaced an airport of base.bgl; 1 left out "
     "(\"quarnel -M\" adds it)\n",
     0, Where::kPosix},
    {{"-R", "base.bgl", "twice.bgl", "x.bgl"}, "",
     "quarnel: 1 of 2 airports of twice.bgl replaced an airport of base.bgl; 1 left out "
     "(\"quarnel -P base.bgl twice.bgl\" lists it)\n",
     0},
    {{"-R", "base.bgl", "mixed.bgl", "x.bgl"}, "",
     "quarnel: 1 of 3 airports of mixed.bgl replaced an airport of base.bgl; 2 left out "
     "(\"quarnel -M\" adds 1 of them)\n",
     0},
    {{"-R", "base.bgl", "cut.bgl", "x.bgl"}, "",
     warning("cut.bgl") + "quarnel: 1 of 1 airport of cut.bgl replaced an airport of base.bgl\n",
     0},
    // Unknown commands point at the help.
    {{"-h"}, "unknown command\n", "quarnel: \"quarnel --help\" lists the commands\n", 0},
    {{"help", "base.bgl"},
     "unknown command\n",
     "quarnel: \"quarnel --help\" lists the commands\n",
     0},
    // Several files: a block each, every file checked, the worst outcome.
    {{"-V", "one.bgl", "missing.bgl", "twice.bgl"},
     "==> one.bgl <==\nno problems found\n\n==> missing.bgl <==\ncannot open:\"missing.bgl\"\n"
     "error processing file:\"missing.bgl\"\n\n==> twice.bgl <==\n"
     "0x0000E8: airport \"HAMBURG\" has the name of the airport at 0x0000A8: a link never "
     "replaces it\n1 problem found\n",
     "quarnel: cannot open missing.bgl: no such file; check its name and folder\n", 2},
    {{"-V", "twice.bgl", "notes.txt"},
     "==> twice.bgl <==\n"
     "0x0000E8: airport \"HAMBURG\" has the name of the airport at 0x0000A8: a link never "
     "replaces it\n1 problem found\n\n==> notes.txt <==\nerror processing file:\"notes.txt\"\n",
     "quarnel: notes.txt is not an AFD file: its magic number is 0x78787878, not 0x87654321\n",
     3},
    {{"-l", "one.bgl", "one.bgl"},
     "==> one.bgl <==\noffset    kind        latitude   longitude  AI  name\n"
     "0x0000A8  airport     0.000009    0.000000      HAMBURG\n"
     "1 facility, 0 name lists, 0 names\n"
     "\n==> one.bgl <==\noffset    kind        latitude   longitude  AI  name\n"
     "0x0000A8  airport     0.000009    0.000000      HAMBURG\n"
     "1 facility, 0 name lists, 0 names\n",
     "", 0},
    // Arguments beyond those a command takes are named.
    {{"-S", "one.bgl", "b", "c"}, report("0", "0", "1"),
     "quarnel: ignored: b\nquarnel: ignored: c\n", 0},
    {{"-P", "base.bgl", "one.bgl", "extra"},
     "replaced: HAMBURG\n1 of 1 source airport replaces a base airport\n",
     "quarnel: ignored: extra\n", 0},
    {{"-R", "base.bgl", "one.bgl", "x.bgl", "extra"}, "",
     "quarnel: ignored: extra\n"
     "quarnel: 1 of 1 airport of one.bgl replaced an airport of base.bgl\n",
     0},
};

class EachLineForPeople : public UserLinesTest, public ::testing::WithParamInterface<Case> {};

TEST_P(EachLineForPeople, AsItPrints) {
  if (!expect_as_printed(GetParam())) GTEST_SKIP() << "prints otherwise on this system";
}

INSTANTIATE_TEST_SUITE_P(UserLines, EachLineForPeople, ::testing::ValuesIn(kCases),
                         clitest::CaseName());

// -B and -M draw each output's file id from the time in microseconds, the
// process id and a count, so runs within one second differ.
TEST_F(UserLinesTest, EveryBuildAndMergeGetsAFileIdOfItsOwn) {
  std::set<std::string> ids;
  for (int i = 0; i < 4; ++i) {
    const std::string merged = afdtest::numbered("m", i) + ".bgl";
    const std::string built = afdtest::numbered("b", i) + ".bgl";
    ASSERT_EQ(run({"-M", "base.bgl", "source.bgl", merged}).rc, 0);
    ASSERT_EQ(run({"-B", "one.json", built}).rc, 0);
    for (const std::string& name : {merged, built}) {
      const Bytes file = afdtest::read_file(dir.file(name));
      ids.insert(text(Bytes(file.begin() + 128, file.begin() + 134)));
    }
  }
  EXPECT_EQ(ids.size(), 8u);
}

}  // namespace
