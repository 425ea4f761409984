// Golden tests of the lines that say why a run failed: for every exit code,
// standard output exactly as the commands always printed it, and standard
// error exactly the one `quarnel: ` line (none where standard output already
// says why), plus the warning for damaged inputs and the -C name lines.
// user_lines_test.cpp has the lines of runs that succeed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
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
// "STUTTGÄRT" as a file holds it (Windows-1252).
constexpr const char* kUmlautInFile = "STUTTG\xC4RT";
constexpr const char* kAsNobody = "chmod 0755 . && setpriv --reuid=65534 --regid=65534 --clear-groups ";

AfdBuilder base_file() {
  AfdBuilder b;
  b.bounds = {30, 0, 30, 0};
  const int h = b.add(Facility::airport("HAMBURG", 10, 10));
  const int s = b.add(Facility::airport(kUmlautInFile, 20, 20));
  b.add_list().entries = {NameRef(kCity, "C"), NameRef(kAirport, "HAMBURG", h),
                          NameRef(kAirport, kUmlautInFile, s)};
  return b;
}

AfdBuilder one_airport(const char* name) {
  AfdBuilder b;
  b.add(Facility::airport(name, 1, 1));
  return b;
}

// The first `n` bytes of `file`.
Bytes cut(const Bytes& file, std::size_t n) { return Bytes(file.begin(), file.begin() + n); }

class FailureLinesTest : public clitest::CliRun {
 protected:
  void SetUp() override {
    afdtest::Layout layout;
    const Bytes base = base_file().build(&layout);
    put("base.bgl", base);
    put("source.bgl", one_airport("HAMBURG").build());
    put("other.bgl", one_airport("OTHER").build());
    put("notes.txt", Bytes(200, 'x'));
    put("t100.bgl", cut(base, 100));
    // Cut inside the second airport: the object list's walk stops there, the
    // name list and the trailer are gone.
    put("damaged.bgl", cut(base, layout.facility_offsets[1] + 12));
    // Without its end record and trailer.
    const Bytes source = one_airport("HAMBURG").build();
    put("damaged_source.bgl", cut(source, source.size() - 28));
    AfdBuilder tag = base_file();
    tag.section_tag = 2;
    put("tag.bgl", tag.build());
    AfdBuilder level = base_file();
    level.format_level = 2;
    put("level.bgl", level.build());
    AfdBuilder deep;
    const int a = deep.add(Facility::airport("DEEP"));
    deep.add_list().entries = {{kRegion, "R"},        {kCountry, "C"}, {kState, "S"}, {kCity, "T"},
                               {kAirport, "DEEP", a}, {kVor, "V", a},  {kNdb, "N", a}};
    put("deep.bgl", deep.build());
    mkdir(dir.file("folder").c_str(), 0755);
    put("folder/read-only.bgl", Bytes(10, 0));
    put("empty.bgl", AfdBuilder().build());
    const std::string doc = R"({"facilities": [{"kind": "airport", "name": "ONE"}]})";
    put("doc.json", Bytes(doc.begin(), doc.end()));
  }
};

using Case = clitest::LineCase;
constexpr clitest::Where kPosix = clitest::Where::kPosix;

std::vector<std::string> many_names(int n) {
  std::vector<std::string> args = {"-C", "base.bgl"};
  for (int i = 0; i < n; ++i) args.push_back(afdtest::numbered("N", i));
  return args;
}

const std::string trace = "NameList\n        City:      C\n          Airport: HAMBURG\n";

const Case kCases[] = {
    // 2: the input and the system's reason.
    {{"-S", "missing.bgl"},
     "cannot open:\"missing.bgl\"\nerror processing file:\"missing.bgl\"\n",
     "quarnel: cannot open missing.bgl: no such file; check its name and folder\n", 2},
    {{"-L", "folder"},
     "cannot open:\"folder\"\nerror processing file:\"folder\"\n",
     "quarnel: cannot open folder: it is a folder; name an AFD file\n", 2},
    {{"-R", "missing.bgl", "nowhere.bgl", "out.bgl"},
     "cannot open:\"missing.bgl\"\ncannot open:\"nowhere.bgl\"\n",
     "quarnel: cannot open missing.bgl: no such file; check its name and folder\n"
     "quarnel: cannot open nowhere.bgl: no such file; check its name and folder\n",
     2},
    // 3: which header test failed.
    {{"-R", "notes.txt", "source.bgl", "out.bgl"}, "",
     "quarnel: notes.txt is not an AFD file: its magic number is 0x78787878, not 0x87654321\n",
     3},
    {{"-V", "t100.bgl"}, "error processing file:\"t100.bgl\"\n",
     "quarnel: t100.bgl is not an AFD file: it holds 100 bytes, fewer than the 168 of the "
     "headers\n",
     3},
    {{"-C", "tag.bgl", "HAMBURG"}, "",
     "quarnel: tag.bgl is not an AFD file: its section tag is 2, not 1\n", 3},
    {{"-S", "level.bgl"}, "error processing file:\"level.bgl\"\n",
     "quarnel: level.bgl is not an AFD file the tool reads: its format level is 2, below 3\n",
     3},
    // 4: each name, then why none selects.
    {{"-C", "base.bgl", "hamburg"}, "",
     "quarnel: no airport named \"hamburg\" in base.bgl\n"
     "quarnel: none of the names selects an airport; names are compared byte for byte and "
     "case-sensitively, and \"quarnel -L base.bgl\" lists them\n",
     4},
    // A name that selects nothing beside one that does: the run succeeds.
    {{"-C", "base.bgl", "HAMBURG", "NOWHERE", "NOWHERE"}, trace,
     "quarnel: no airport named \"NOWHERE\" in base.bgl\n", 0},
    // 5: the link has nothing to do.
    {{"-R", "source.bgl", "other.bgl", "x.bgl"}, "",
     "quarnel: no airport of other.bgl has the name of an airport in source.bgl, so there is "
     "nothing to link; \"quarnel -P source.bgl other.bgl\" shows them\n",
     5},
    {{"-M", "base.bgl", "empty.bgl", "x.bgl"}, "",
     "quarnel: empty.bgl holds no facility, so there is nothing to merge; \"quarnel -L "
     "empty.bgl\" lists it\n",
     5},
    // 6 before writing: which check failed.
    {{"-R", "base.bgl", "source.bgl", "nofolder/out.bgl"}, "",
     "quarnel: cannot write nofolder/out.bgl: there is no folder nofolder; create it or name "
     "another\n",
     6},
    {{"-R", "base.bgl", "source.bgl", "folder"}, "",
     "quarnel: cannot write folder: it is a folder; name a file to write\n", 6},
    {{"-R", "base.bgl", "source.bgl", "/dev/null"}, "",
     "quarnel: cannot write /dev/null: it is not a regular file (a device or a pipe); name a "
     "file\n",
     6, kPosix},
    // For a user whom permissions stop (the tests run as root).
    {{"-R", "base.bgl", "source.bgl", "folder/read-only.bgl"}, "",
     "quarnel: cannot write folder/read-only.bgl: the file is read-only; make it writable or "
     "name another\n",
     6, kPosix, kAsNobody},
    {{"-R", "base.bgl", "source.bgl", "folder/out.bgl"}, "",
     "quarnel: cannot write folder/out.bgl: the folder folder may not be written; name "
     "another\n",
     6, kPosix, kAsNobody},
    // -B names the refused output on standard output too, and says why like the others.
    {{"-B", "doc.json", "nofolder/out.bgl"}, "cannot write:\"nofolder/out.bgl\"\n",
     "quarnel: cannot write nofolder/out.bgl: there is no folder nofolder; create it or name "
     "another\n",
     6},
    {{"-B", "doc.json", "folder"}, "cannot write:\"folder\"\n",
     "quarnel: cannot write folder: it is a folder; name a file to write\n", 6},
    // 6 while writing says why on standard output already.
    {{"-R", "base.bgl", "source.bgl", "out.bgl"}, "cannot write:\"out.bgl\"\n", "", 6, kPosix,
     "ulimit -f 0; "},
    {{"-B", "doc.json", "out.bgl"}, "cannot write:\"out.bgl\"\n", "", 6, kPosix, "ulimit -f 0; "},
    // 7 and 8 say why on standard output.
    {many_names(65), "too many names: 65 (at most 64)\n", "", 7},
    {{"-V", "damaged.bgl"},
     "0x0000E8: a record of the object list declares 58 bytes, past the end of its data at "
     "0x0000F4: cut off\n"
     "0x000132: the name-list chain goes on beyond the end of its data at 0x0000F4\n"
     "0x00019E: the trailer's offset points at no trailer: the file ends at 0x0000F4\n"
     "3 problems found\n",
     "", 8},
    // 15: the name list nests too deep.
    {{"-C", "deep.bgl", "DEEP"},
     "NameList\n  Region:          R\n    Country:       C\n      State:       S\n"
     "        City:      T\n          Airport: DEEP\n          VOR:     V\n",
     "quarnel: a name list of deep.bgl nests deeper than the 7 levels extract follows; nothing "
     "written\n",
     15},
    // Damaged inputs: the same outcome, and the warning.
    {{"-R", "damaged.bgl", "source.bgl", "out.bgl"}, "",
     "quarnel: warning: damaged.bgl has problems that \"quarnel -V damaged.bgl\" lists; only "
     "what could be read is used\n"
     "quarnel: 1 of 1 airport of source.bgl replaced an airport of damaged.bgl\n",
     0},
    {{"-M", "base.bgl", "damaged_source.bgl", "out.bgl"},
     "replaced: HAMBURG\n1 replaced, 0 added, 0 left out\n",
     "quarnel: warning: damaged_source.bgl has problems that \"quarnel -V damaged_source.bgl\" "
     "lists; only what could be read is used\n",
     0},
    {{"-C", "damaged.bgl", "HAMBURG"}, "",
     "quarnel: warning: damaged.bgl has problems that \"quarnel -V damaged.bgl\" lists; only "
     "what could be read is used\n",
     0},
    {{"-P", "base.bgl", "damaged_source.bgl"},
     "replaced: HAMBURG\n1 of 1 source airport replaces a base airport\n",
     "quarnel: warning: damaged_source.bgl has problems that \"quarnel -V damaged_source.bgl\" "
     "lists; only what could be read is used\n",
     0},
    // A command without its arguments still does nothing, and says what it needs.
    {{"-r", "base.bgl"}, "", "quarnel: too few arguments for -r; usage: quarnel -R base "
                             "source [output]\n", 0},
};

class EachFailure : public FailureLinesTest, public ::testing::WithParamInterface<Case> {};

TEST_P(EachFailure, SaysWhyOnceOnStandardError) {
  if (!expect_as_printed(GetParam())) GTEST_SKIP() << "a POSIX-only case";
}

INSTANTIATE_TEST_SUITE_P(FailureLines, EachFailure, ::testing::ValuesIn(kCases),
                         clitest::CaseName());

TEST_F(FailureLinesTest, HelpAndVersionAnswerAsGnuToolsDo) {
  const Result help = run({"--help"});
  EXPECT_EQ(help.out,
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
            "Exit codes, messages and the file format: man quarnel\n");
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.rc, 0);
  const Result version = run({"--version", "ignored"});
  EXPECT_EQ(version.out,
            "quarnel 1.2\nCopyright (c) 2026 The Quarnel developers. MIT licence; no warranty.\n");
  EXPECT_EQ(version.err, "");
  EXPECT_EQ(version.rc, 0);
  // Only the two exact words: anything else stays an unknown command, and
  // points at the first.
  for (const char* other : {"-h", "--h", "--HELP", "--versions", "-help", "help"}) {
    const Result r = run({other});
    EXPECT_EQ(r.out, std::string(kBanner) + "unknown command\n") << other;
    EXPECT_EQ(r.err, "quarnel: \"quarnel --help\" lists the commands\n") << other;
    EXPECT_EQ(r.rc, 0) << other;
  }
  if (!clitest::under_runner()) {
    // Started with no arguments from a terminal (`script` gives the run one),
    // the usage goes there, after what standard output always held.
    std::string screen;
    const std::string exe = clitest::quoted(std::getenv("QUARNEL_EXE"));
    afdtest::run_in(dir.path(), "script -qec " + clitest::quoted(exe) + " /dev/null", &screen);
    EXPECT_EQ(clitest::without_cr(screen), kBanner + std::string("unknown command\n") + help.out);
  }
  EXPECT_EQ(dir.entries().size(), 13u) << "nothing written";
}

}  // namespace
