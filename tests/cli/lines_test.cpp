// Golden tests of the lines a run prints beside its work: for every exit code,
// standard output exactly as the commands always printed it, and standard
// error exactly the one `quarnel: ` line (none where standard output already
// says why), the warning for damaged inputs and the -C name lines; then the
// lines written for people rather than scripts: names in the terminal's form,
// summaries, several files for -L and -V, the arguments a command ignores and
// the help. Each case is the real program's exit code and both streams, byte
// for byte.
#include <sys/stat.h>

#include <set>

#include "cli_run.h"

namespace {

using namespace clitest;

AfdBuilder airports(const std::vector<std::string>& names) {
  AfdBuilder b;
  b.bounds = {10, 0, 10, 0};
  for (const std::string& name : names) b.add(Facility::airport(name, 1, 1));
  return b;
}

// The first `n` bytes of `file`.
Bytes cut(const Bytes& file, std::size_t n) { return Bytes(file.begin(), file.begin() + n); }

std::vector<std::string> many_names(int n) {
  std::vector<std::string> args = {"-C", "base.bgl"};
  for (int i = 0; i < n; ++i) args.push_back(afdtest::numbered("N", i));
  return args;
}

// ----------------------------------------------------------- why a run failed

// "STUTTGÄRT" as a file holds it (Windows-1252).
constexpr const char* kUmlautInFile = "STUTTG\xC4RT";
constexpr const char* kAsNobody =
    "chmod 0755 . && setpriv --reuid=65534 --regid=65534 --clear-groups ";

AfdBuilder failure_base() {
  return afd(
      {Facility::airport("HAMBURG", 10, 10), Facility::airport(kUmlautInFile, 20, 20)},
      {{NameRef(kCity, "C"), NameRef(kAirport, "HAMBURG", 0), NameRef(kAirport, kUmlautInFile, 1)}},
      {30, 0, 30, 0});
}

// base.bgl, cut inside its second airport (the walk stops there; the name list
// and trailer are gone), and notes.txt, no AFD file: in both tables' folders.
class LineTable : public CliRun, public ::testing::WithParamInterface<Case> {
 protected:
  Bytes put_base(const AfdBuilder& b, const std::string& cut_name) {
    const Bytes base = b.build(&layout);
    put("base.bgl", base);
    put(cut_name, cut(base, layout.facility_offsets[1] + 12));
    put("notes.txt", Bytes(200, 'x'));
    return base;
  }
  afdtest::Layout layout;
};

class FailureLines : public LineTable {
 protected:
  void SetUp() override {
    const Bytes base = put_base(failure_base(), "damaged.bgl");
    put("source.bgl", airports({"HAMBURG"}).build());
    put("other.bgl", airports({"OTHER"}).build());
    put("t100.bgl", cut(base, 100));
    // Without its end record and trailer.
    const Bytes source = airports({"HAMBURG"}).build();
    put("damaged_source.bgl", cut(source, source.size() - 28));
    AfdBuilder tag = failure_base();
    tag.section_tag = 2;
    put("tag.bgl", tag.build());
    AfdBuilder level = failure_base();
    level.format_level = 2;
    put("level.bgl", level.build());
    put("deep.bgl", afd({Facility::airport("DEEP")},
                        {{NameRef(kRegion, "R"), NameRef(kCountry, "C"), NameRef(kState, "S"),
                          NameRef(kCity, "T"), NameRef(kAirport, "DEEP", 0), NameRef(kVor, "V", 0),
                          NameRef(kNdb, "N", 0)}})
                        .build());
    mkdir(dir.file("folder").c_str(), 0755);
    put("folder/read-only.bgl", Bytes(10, 0));
    put("empty.bgl", AfdBuilder().build());
    put("doc.json", R"({"facilities": [{"kind": "airport", "name": "ONE"}]})");
    // An earlier extract's output, which a failed one leaves alone.
    put("afdtmp.bgl", "old");
  }
};

const std::string trace = "NameList\n        City:      C\n          Airport: HAMBURG\n";
const std::string kPreviewed = "replaced: HAMBURG\n1 of 1 source airport replaces a base airport\n";

const Case kFailures[] = {
    // 2: the input and the system's reason.
    {"-S missing.bgl", "cannot open:\"missing.bgl\"\nerror processing file:\"missing.bgl\"\n",
     no_file("missing.bgl"), 2},
    {"-L folder", "cannot open:\"folder\"\nerror processing file:\"folder\"\n",
     "quarnel: cannot open folder: it is a folder; name an AFD file\n", 2},
    {"-R missing.bgl nowhere.bgl out.bgl",
     "cannot open:\"missing.bgl\"\ncannot open:\"nowhere.bgl\"\n",
     no_file("missing.bgl") + no_file("nowhere.bgl"), 2},
    // 3: which header test failed.
    {"-R notes.txt source.bgl out.bgl", "", bad_magic("notes.txt", "0x78787878"), 3},
    {"-V t100.bgl", "error processing file:\"t100.bgl\"\n",
     "quarnel: t100.bgl is not an AFD file: it holds 100 bytes, fewer than the 168 of the "
     "headers\n",
     3},
    {"-C tag.bgl HAMBURG", "", "quarnel: tag.bgl is not an AFD file: its section tag is 2, not 1\n",
     3},
    {"-S level.bgl", "error processing file:\"level.bgl\"\n",
     "quarnel: level.bgl is not an AFD file the tool reads: its format level is 2, below 3\n", 3},
    // 4: each name, then why none selects.
    {"-C base.bgl hamburg", "",
     "quarnel: no airport named \"hamburg\" in base.bgl\n"
     "quarnel: none of the names selects an airport; names are compared byte for byte and "
     "case-sensitively, and \"quarnel -L base.bgl\" lists them\n",
     4},
    // A name that selects nothing beside one that does: the run succeeds.
    {"-C base.bgl HAMBURG NOWHERE NOWHERE", trace,
     "quarnel: no airport named \"NOWHERE\" in base.bgl\n", 0, "afdtmp.bgl"},
    // 5: the link has nothing to do.
    {"-R source.bgl other.bgl x.bgl", "",
     "quarnel: no airport of other.bgl has the name of an airport in source.bgl, so there is "
     "nothing to link; \"quarnel -P source.bgl other.bgl\" shows them\n",
     5},
    {"-M base.bgl empty.bgl x.bgl", "",
     "quarnel: empty.bgl holds no facility, so there is nothing to merge; \"quarnel -L "
     "empty.bgl\" lists it\n",
     5},
    // 6 before writing: which check failed.
    {"-R base.bgl source.bgl nofolder/out.bgl", "", kNoFolder, 6},
    {"-R base.bgl source.bgl folder", "", a_folder("folder"), 6},
    {"-R base.bgl source.bgl /dev/null", "",
     "quarnel: cannot write /dev/null: it is not a regular file (a device or a pipe); name a "
     "file\n",
     6, "", Where::kPosix},
    // For a user whom permissions stop (the tests run as root).
    {"-R base.bgl source.bgl folder/read-only.bgl", "",
     "quarnel: cannot write folder/read-only.bgl: the file is read-only; make it writable or "
     "name another\n",
     6, "", Where::kPosix, kAsNobody},
    {"-R base.bgl source.bgl folder/out.bgl", "",
     "quarnel: cannot write folder/out.bgl: the folder folder may not be written; name "
     "another\n",
     6, "", Where::kPosix, kAsNobody},
    // -B names the refused output on standard output too, and says why like the others.
    {"-B doc.json nofolder/out.bgl", "cannot write:\"nofolder/out.bgl\"\n", kNoFolder, 6},
    {"-B doc.json folder", "cannot write:\"folder\"\n", a_folder("folder"), 6},
    // 6 while writing says why on standard output already.
    {"-B doc.json out.bgl", "cannot write:\"out.bgl\"\n", "", 6, "", Where::kPosix,
     "ulimit -f 0; "},
    // 7 and 8 say why on standard output.
    {many_names(65), "too many names: 65 (at most 64)\n", "", 7},
    {"-V damaged.bgl",
     "0x0000E8: a record of the object list declares 58 bytes, past the end of its data at "
     "0x0000F4: cut off\n"
     "0x000132: the name-list chain goes on beyond the end of its data at 0x0000F4\n"
     "0x00019E: the trailer's offset points at no trailer: the file ends at 0x0000F4\n"
     "3 problems found\n",
     "", 8},
    // 15: the name list nests too deep.
    {"-C deep.bgl DEEP",
     "NameList\n  Region:          R\n    Country:       C\n      State:       S\n"
     "        City:      T\n          Airport: DEEP\n          VOR:     V\n",
     "quarnel: a name list of deep.bgl nests deeper than the 7 levels extract follows; nothing "
     "written\n",
     15},
    // Damaged inputs: the same outcome, and the warning.
    {"-R damaged.bgl source.bgl out.bgl", "",
     warning("damaged.bgl") +
         "quarnel: 1 of 1 airport of source.bgl replaced an airport of damaged.bgl\n",
     0, "out.bgl"},
    {"-M base.bgl damaged_source.bgl out.bgl",
     "replaced: HAMBURG\n1 replaced, 0 added, 0 left out\n", warning("damaged_source.bgl"), 0,
     "out.bgl"},
    {"-C damaged.bgl HAMBURG", "", warning("damaged.bgl"), 0, "afdtmp.bgl"},
    {"-P base.bgl damaged_source.bgl", kPreviewed, warning("damaged_source.bgl"), 0},
    // A command without its arguments still does nothing, and says what it needs.
    {"-r base.bgl", "",
     "quarnel: too few arguments for -r; usage: quarnel -R base source [output]\n", 0},
};

TEST_P(FailureLines, SaysWhyOnceOnStandardError) { expect_or_skip(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Table, FailureLines, ::testing::ValuesIn(kFailures), CaseName());

// ----------------------------------------------------------- lines for people

// "MÜNCHEN" as a file holds it (Windows-1252) and as a UTF-8 terminal shows it.
const std::string kInFile = "M\xDCNCHEN";
const std::string kUtf8 = "M\xC3\x9CNCHEN";
// A name with a byte that Windows-1252 leaves undefined and a control character.
const std::string kOdd = "O\x81\x01K";

AfdBuilder user_base() {
  return afd({Facility::airport("HAMBURG", 10, 10), Facility::airport(kInFile, 20, 20),
              Facility::airport(kOdd, 30, 30)},
             {{NameRef(kState, "BAYERN"), NameRef(kCity, kInFile), NameRef(kAirport, kInFile, 1)}},
             {40, 0, 40, 0});
}

class UserLines : public LineTable {
 protected:
  void SetUp() override {
    Bytes flipped = put_base(user_base(), "cut.bgl");
    flipped[layout.facility_offsets[1] + 7] ^= 0x80;  // the record's size turns negative
    put("flipped.bgl", flipped);
    put("one.bgl", airports({"HAMBURG"}).build());
    put("source.bgl", airports({kInFile, "KASSEL"}).build());
    put("twice.bgl", airports({"HAMBURG", "HAMBURG"}).build());
    put("mixed.bgl", airports({"HAMBURG", "KASSEL", "KASSEL"}).build());
    const std::string vor = R"({"kind": "vor", "name": "V"}, )";
    const std::string airport =
        R"({"kind": "airport", "name": "M\u00dcNCHEN", "lat": 1, "lon": 1})";
    put("one.json", R"({"facilities": [)" + vor + airport + "]}");
    put("two.json", R"({"facilities": [)" + vor + airport + ", " + airport + "]}");
  }
};

// -L of the base, with MÜNCHEN and the odd name as the terminal shows them.
std::string base_listing(const std::string& m, const std::string& odd) {
  return "offset    kind        latitude   longitude  AI  name\n"
         "0x0000A8  airport     0.000090    0.000001      HAMBURG\n"
         "0x0000E8  airport     0.000180    0.000002      " +
         m + "\n" + "0x000128  airport     0.000270    0.000003      " + odd + "\n" +
         "NameList at 0x00016D\n      State:       BAYERN\n        City:      " + m +
         "\n          Airport: " + m +
         "  -> airport at 0x0000E8\n3 facilities, 1 name list, 3 names\n";
}
const std::string kHelp =
    "Usage: quarnel COMMAND ARGUMENTS...\n"
    "  quarnel -S file                  print the statistics of file\n"
    "  quarnel -C file name [name ...]  extract the named airports into afdtmp.bgl\n"
    "  quarnel -R base source [output]  link source into base (output: afdtmp.bgl)\n"
    "  quarnel -L file [file ...]       list the facilities and name lists of each file\n"
    "  quarnel -J file                  the same listing as JSON, for scripts\n"
    "  quarnel -V file [file ...]       check each file; exit code 8 for problems\n"
    "  quarnel -P base source           preview which source airports a link takes\n"
    "  quarnel -M base source [output]  link, and add the airports base lacks\n"
    "  quarnel -M base source... output merge sources or folders, in order\n"
    "  quarnel -I folder                list the AFD files a merge of folder takes\n"
    "  quarnel -B description [output]  build a file from a JSON description\n"
    "  quarnel --help                   show this help\n"
    "  quarnel --version                show the version and the licence\n"
    "\n"
    "The option letter may be given in either case; only its first letter counts.\n"
    "Airport names are compared byte for byte and case-sensitively.\n"
    "Exit codes, messages and the file format: man quarnel\n";

// The blocks of -V and -L for two of the files.
const std::string kTwice =
    "==> twice.bgl <==\n0x0000E8: airport \"HAMBURG\" has the name of the airport at 0x0000A8: a "
    "link never replaces it\n1 problem found\n";
const std::string kOne =
    "==> one.bgl <==\noffset    kind        latitude   longitude  AI  name\n"
    "0x0000A8  airport     0.000009    0.000000      HAMBURG\n1 facility, 0 name lists, 0 names\n";

// The report of a file with HAMBURG as its one facility.
std::string report(const char* lists, const char* entries, const char* count) {
  return std::string("containers:        1\nname list:         ") + lists +
         "\nnames:             " + entries + "\n--------------------\ncat count:         " + count +
         "\n\nmax strlen:        7\nmax cont size:    64\nairports:          1\n"
         "airports AI:       0\nvor's:             0\nndb's:             0\n";
}

const Case kForPeople[] = {
    // Names decoded into UTF-8 on POSIX, as they are on Windows.
    {"-L base.bgl", base_listing(kUtf8, "O\\x81\\x01K"), "", 0, "", Where::kPosix},
    {"-L base.bgl", base_listing(kInFile, "O\x81\\x01K"), "", 0, "", Where::kWindows},
    {"-P base.bgl source.bgl",
     "replaced: " + kUtf8 + "\nleft out: KASSEL\n1 of 2 source airports replaces a base airport\n",
     "", 0, "", Where::kPosix},
    {"-M base.bgl source.bgl merged.bgl",
     "replaced: " + kUtf8 + "\nadded: KASSEL (no name entry; 0.000\xC2\xB0 from " + kUtf8 +
         ")\n1 replaced, 1 added, 0 left out\n",
     "", 0, "merged.bgl", Where::kPosix},
    {"-V twice.bgl source.bgl", kTwice + "\n==> source.bgl <==\nno problems found\n", "", 8},
    // A name typed in UTF-8 selects the airport the file holds in Windows-1252;
    // the trace shows the file's bytes.
    {"-C base.bgl " + kUtf8 + " NOWHERE",
     "NameList\n      State:       BAYERN\n        City:      " + kInFile +
         "\n          Airport: " + kInFile + "\n",
     "quarnel: no airport named \"NOWHERE\" in base.bgl\n", 0, "afdtmp.bgl", Where::kPosix},
    // -S on damaged files: the report as always, and the warning.
    {"-S cut.bgl", report("0", "0", "1"), warning("cut.bgl"), 0},
    {"-S flipped.bgl", report("1", "3", "5"), warning("flipped.bgl"), 0},
    // -B: what -V would find, a description that would be overwritten, one
    // that is missing.
    {"-B one.json p1.bgl", "",
     "quarnel: warning: p1.bgl has 1 problem: 0x0000FA: airport \"" + kUtf8 +
         "\" stands behind the vor at 0x0000A8: a link never replaces it; \"quarnel -V "
         "p1.bgl\" shows it\n",
     0, "p1.bgl", Where::kPosix},
    {"-B two.json p2.bgl", "",
     "quarnel: warning: p2.bgl has 2 problems; the first: 0x0000FA: airport \"" + kUtf8 +
         "\" stands behind the vor at 0x0000A8: a link never replaces it; \"quarnel -V "
         "p2.bgl\" lists them\n",
     0, "p2.bgl", Where::kPosix},
    {"-B one.json one.json", "",
     "quarnel: cannot write one.json: it is the description being read; name another output\n", 6},
    {"-B nosuch.json x.bgl", "cannot open:\"nosuch.json\"\n", no_file("nosuch.json"), 2},
    // The link's summary, by what became of the airports it left out (where
    // none is, below with the arguments a link ignores).
    {"-R base.bgl source.bgl x.bgl", "",
     "quarnel: 1 of 2 airports of source.bgl replaced an airport of base.bgl; 1 left out "
     "(\"quarnel -M\" adds it)\n",
     0, "x.bgl", Where::kPosix},
    {"-R base.bgl twice.bgl x.bgl", "",
     "quarnel: 1 of 2 airports of twice.bgl replaced an airport of base.bgl; 1 left out "
     "(\"quarnel -P base.bgl twice.bgl\" lists it)\n",
     0, "x.bgl"},
    {"-R base.bgl mixed.bgl x.bgl", "",
     "quarnel: 1 of 3 airports of mixed.bgl replaced an airport of base.bgl; 2 left out "
     "(\"quarnel -M\" adds 1 of them)\n",
     0, "x.bgl"},
    {"-R base.bgl cut.bgl x.bgl", "",
     warning("cut.bgl") + "quarnel: 1 of 1 airport of cut.bgl replaced an airport of base.bgl\n", 0,
     "x.bgl"},
    // Unknown commands point at the help; only the two exact words answer as GNU tools do.
    {"-h", "unknown command\n", kHelpHint, 0},
    {"--h", "unknown command\n", kHelpHint, 0},
    {"--HELP", "unknown command\n", kHelpHint, 0},
    {"--versions", "unknown command\n", kHelpHint, 0},
    {"-help", "unknown command\n", kHelpHint, 0},
    {"help base.bgl", "unknown command\n", kHelpHint, 0},
    for_scripts({"--help", kHelp, "", 0}),
    for_scripts(
        {"--version ignored",
         "quarnel 1.2\nCopyright (c) 2026 The Quarnel developers. MIT licence; no warranty.\n", "",
         0}),
    // Several files: a block each, every file checked, the worst outcome.
    {"-V one.bgl missing.bgl twice.bgl",
     "==> one.bgl <==\nno problems found\n\n==> missing.bgl <==\ncannot open:\"missing.bgl\"\n"
     "error processing file:\"missing.bgl\"\n\n" +
         kTwice,
     no_file("missing.bgl"), 2},
    {"-V twice.bgl notes.txt",
     kTwice + "\n==> notes.txt <==\nerror processing file:\"notes.txt\"\n",
     bad_magic("notes.txt", "0x78787878"), 3},
    {"-l one.bgl one.bgl", kOne + "\n" + kOne, "", 0},
    // Arguments beyond those a command takes are named.
    {"-S one.bgl b c", report("0", "0", "1"), "quarnel: ignored: b\nquarnel: ignored: c\n", 0},
    {"-P base.bgl one.bgl extra", kPreviewed, "quarnel: ignored: extra\n", 0},
    {"-R base.bgl one.bgl x.bgl extra", "",
     "quarnel: ignored: extra\n"
     "quarnel: 1 of 1 airport of one.bgl replaced an airport of base.bgl\n",
     0, "x.bgl"},
};

TEST_P(UserLines, AsItPrints) { expect_or_skip(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Table, UserLines, ::testing::ValuesIn(kForPeople), CaseName());

using UserLinesTest = CliRun;

// Started with no arguments from a terminal (`script` gives the run one), the
// usage goes there, after what standard output always held.
TEST_F(UserLinesTest, NoArgumentsOnATerminalShowTheHelp) {
  if (under_runner()) GTEST_SKIP() << "shows a message box";
  EXPECT_EQ(sh("script -qec \"$Q\" /dev/null").out, kBanner + "unknown command\n" + kHelp);
}

// -B and -M draw each output's file id from the time in microseconds, the
// process id and a count, so runs within one second differ.
TEST_F(UserLinesTest, EveryBuildAndMergeGetsAFileIdOfItsOwn) {
  put("base.bgl", user_base().build());
  put("source.bgl", airports({kInFile, "KASSEL"}).build());
  put("one.json", R"({"facilities": [{"kind": "airport", "name": "A", "lat": 1, "lon": 1}]})");
  std::set<std::string> ids;
  for (int i = 0; i < 4; ++i) {
    const std::string merged = afdtest::numbered("m", i) + ".bgl";
    const std::string built = afdtest::numbered("b", i) + ".bgl";
    ASSERT_EQ(run({"-M", "base.bgl", "source.bgl", merged}).rc, 0);
    ASSERT_EQ(run({"-B", "one.json", built}).rc, 0);
    for (const std::string& name : {merged, built}) {
      const Bytes bytes = file(name);
      ids.insert(std::string(bytes.begin() + 128, bytes.begin() + 134));
    }
  }
  EXPECT_EQ(ids.size(), 8u);
}

}  // namespace
