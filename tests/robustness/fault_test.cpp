// Fault tests with the real binary: failing disks, outputs that cannot be
// written, unreadable inputs, an output that is one of the inputs, outputs
// reached through links and interrupted runs. Each checks the ExitCode, the
// exact output, that the inputs are unchanged and that no stray or partial
// file is left.
#include <signal.h>
#include <unistd.h>

#include "cli_run.h"

namespace {

using namespace clitest;

// Runway data of `n` bytes for each airport of a base, so that its output is
// larger than any buffer on the way to the disk.
template <std::size_t n>
std::size_t runway(int) {
  return n;
}

// The scratch folder holds base.bgl, of 12 airports (about 240 KB),
// source.bgl, which replaces two of them, and an empty folder far.
class FaultTest : public CliRun {
 protected:
  void SetUp() override {
    put("base.bgl", base());
    AfdBuilder s;
    s.add(Facility::airport("AP0", 5, 5));
    s.add(Facility::airport("AP1", 6, 6, true));
    put("source.bgl", s.build());
    std::filesystem::create_directory(dir.file("far"));
  }
  static const Bytes& base() {
    static const Bytes b = afdtest::filed_airports(12, runway<20000>, 2).build();
    return b;
  }
};

const std::vector<std::string> kLink = {"-R", "base.bgl", "source.bgl", "out.bgl"};

// --- Disks that fill, outputs that cannot be written, inputs that cannot be read

// A golden row run after `setup`, a shell script in the scratch folder. Where
// links lead the output elsewhere, `plain` is the file the same run writes
// where no link stands: the file written through the links must be the same.
struct FaultCase : LineCase {
  FaultCase(const char* n, const char* s, Args a, std::string o, std::string e, int r,
            std::string pre = "", std::string w = "", const char* p = nullptr, bool b = true)
      : LineCase{std::move(a), std::move(o), std::move(e),   r,
                 std::move(w), Where::kBoth, std::move(pre), b},
        name(n),
        setup(s),
        plain(p) {}
  const char* name;
  const char* setup;
  const char* plain;
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Fault : public FaultTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  void expect_row() {
    const FaultCase& c = GetParam();
    Bytes plain;
    if (c.plain != nullptr) {
      ASSERT_EQ(run(c.args).rc, 0);
      plain = afdtest::without_stamp(file(c.plain));
      ASSERT_EQ(unlink(dir.file(c.plain).c_str()), 0);
    }
    ASSERT_EQ(sh(c.setup).rc, 0);
    expect_as_printed(c);
    if (c.plain != nullptr) {
      EXPECT_EQ(afdtest::without_stamp(file(c.writes)), plain);
    }
  }
};

TEST_P(Fault, EndsAsPrintedAndLeavesEveryOtherFileAlone) { expect_row(); }

// A file-size limit, with SIGXFSZ ignored or not (the tool must not die of it either way).
std::string fsize(int bytes, bool ignoring = true) {
  return (ignoring ? "trap '' XFSZ; " : "") + afdtest::numbered("prlimit --fsize=", bytes) + " ";
}
constexpr const char* kNoBase = "chmod 0 base.bgl && chmod 0777 .";
constexpr const char* kNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
const std::string kCannotWriteOut = "cannot write:\"out.bgl\"\n";
const std::string kTrace =
    "NameList\n  Region:          REGION\n        City:      CITY0\n          Airport: AP0\n"
    "        City:      CITY3\n          Airport: AP3\n        City:      CITY11\n"
    "          Airport: AP11\n";
const std::string kExtractFull = kTrace + "cannot write:\"afdtmp.bgl\"\n";
const std::string kTwoAirports =
    "NameList\n  Region:          REGION\n        City:      CITY1\n          Airport: AP1\n"
    "        City:      CITY2\n          Airport: AP2\n";
const std::string kLinked =
    "quarnel: 2 of 2 airports of source.bgl replaced airports of base.bgl\n";
const std::string kOpenBase = "cannot open:\"base.bgl\"\n";
const std::string kOpenSource = "cannot open:\"source.bgl\"\n";
std::string no_read(const char* name) {
  return std::string("quarnel: cannot open ") + name +
         ": permission denied; you need the right to read it\n";
}

const FaultCase kFaults[] = {
    {"LinkNothingFits", "", kLink, kCannotWriteOut, "", 6, fsize(0)},
    {"LinkHeadersFit", "", kLink, kCannotWriteOut, "", 6, fsize(200)},
    {"LinkFailsAtFlush", "echo old >out.bgl", kLink, kCannotWriteOut, "", 6, fsize(4096)},
    {"LinkFailsMidway", "echo old >out.bgl", kLink, kCannotWriteOut, "", 6, fsize(150000)},
    {"LinkSigxfszNotIgnored", "echo old >out.bgl", kLink, kCannotWriteOut, "", 6,
     fsize(150000, false)},
    {"ExtractNothingFits", "", "-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6, fsize(0)},
    {"ExtractFailsMidway", "echo old >afdtmp.bgl", "-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6,
     fsize(30000)},
    {"ExtractSigxfszNotIgnored", "", "-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6,
     fsize(30000, false)},
    // Outputs that cannot be written end with 6 before anything is written (the
    // golden failure lines hold the missing and read-only folders and files).
    {"Fifo", "mkfifo pipe", "-R base.bgl source.bgl pipe", "",
     "quarnel: cannot write pipe: it is not a regular file (a device or a pipe); name a file\n", 6},
    {"ExtractOutputIsADirectory", "mkdir afdtmp.bgl", "-C base.bgl AP1", "", a_folder("afdtmp.bgl"),
     6},
    {"ExtractInAReadOnlyFolder", "chmod 0555 .", "-C base.bgl AP1", "",
     "quarnel: cannot write afdtmp.bgl: the folder . may not be written; name another\n", 6,
     kNobody},
    // Inputs that cannot be read, for a user whom permissions stop (the tests
    // run as root); the folder may be written.
    {"Statistics", kNoBase, "-S base.bgl", kOpenBase + "error processing file:\"base.bgl\"\n",
     no_read("base.bgl"), 2, kNobody},
    {"Extract", kNoBase, "-C base.bgl AP1", kOpenBase, no_read("base.bgl"), 2, kNobody},
    {"LinkBase", kNoBase, kLink, kOpenBase, no_read("base.bgl"), 2, kNobody},
    {"LinkSource", "chmod 0 source.bgl && chmod 0777 .", kLink, kOpenSource, no_read("source.bgl"),
     2, kNobody},
    {"LinkBoth", "chmod 0 base.bgl source.bgl && chmod 0777 .", kLink, kOpenBase + kOpenSource,
     no_read("base.bgl") + no_read("source.bgl"), 2, kNobody},
    {"ReadableButNotWritable", "chmod 0777 .", kLink, "", kLinked, 0, kNobody, "out.bgl"},
    // Outputs reached through links (into the folder far): a symbolic link
    // stays a link and its target gets the result (through chains, and
    // created when the link dangles) with the permissions it had; a link that
    // leads nowhere writable ends with 6 before anything is written; a
    // hard-linked output becomes a new file, and its other name keeps the
    // earlier one.
    {"RelativeLink",
     "ln -s far/target.bgl out.bgl && echo earlier >far/target.bgl && chmod 0640 far/target.bgl",
     kLink, "", kLinked, 0, "", "far/target.bgl", "out.bgl"},
    {"AbsoluteLink",
     "ln -s \"$PWD/far/target.bgl\" out.bgl && echo earlier >far/target.bgl && chmod 0640 "
     "far/target.bgl",
     kLink, "", kLinked, 0, "", "far/target.bgl", "out.bgl"},
    {"ChainOfLinks",
     "ln -s far/hop1 out.bgl && ln -s hop2 far/hop1 && ln -s ../far/final.bgl far/hop2 && echo "
     "earlier >far/final.bgl && chmod 0640 far/final.bgl",
     kLink, "", kLinked, 0, "", "far/final.bgl", "out.bgl"},
    {"DanglingLinkGetsItsTarget", "ln -s far/new.bgl out.bgl", kLink, "", kLinked, 0, "",
     "far/new.bgl", "out.bgl"},
    {"ExtractThroughALink",
     "ln -s far/x.bgl afdtmp.bgl && echo earlier >far/x.bgl && chmod 0640 far/x.bgl",
     "-C base.bgl AP1 AP2", kTwoAirports, "", 0, "", "far/x.bgl", "afdtmp.bgl"},
    {"DanglingIntoAMissingFolder", "ln -s far/none/new.bgl out.bgl", kLink, "",
     "quarnel: cannot write out.bgl: there is no folder .; create it or name another\n", 6},
    {"Loop", "ln -s far/a out.bgl && ln -s b far/a && ln -s a far/b", kLink, "",
     "quarnel: cannot write out.bgl: its symbolic links lead nowhere (a loop, or too long a "
     "chain)\n",
     6},
    {"LinkToAFolder", "ln -s far out.bgl", kLink, "", a_folder("out.bgl"), 6},
    {"BuildThroughALink",
     "printf '{\"facilities\": []}' >doc.json && echo earlier >real.bgl && ln -s real.bgl link.bgl",
     "-B doc.json link.bgl", "", "", 0, "", "real.bgl"},
    {"HardLinkedOutput",
     "echo earlier >far/other.bgl && chmod 0640 far/other.bgl && ln far/other.bgl out.bgl", kLink,
     "", kLinked, 0, "", "out.bgl", "out.bgl"},
};

INSTANTIATE_TEST_SUITE_P(Table, Fault, ::testing::ValuesIn(kFaults), CaseName());

// --- An output that is one of the inputs -----------------------------------------

// Over its own base, the link is checked byte for byte among the golden tests.
TEST_F(FaultTest, LinkOverItsSourceGivesTheSameFileAsElsewhere) {
  ASSERT_EQ(run({"-R", "base.bgl", "source.bgl", "reference.bgl"}).rc, 0);
  const Result r = run({"-R", "base.bgl", "source.bgl", "source.bgl"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, kBanner);
  EXPECT_EQ(afdtest::without_stamp(file("source.bgl")),
            afdtest::without_stamp(file("reference.bgl")));
  EXPECT_TRUE(file("base.bgl") == base());
  EXPECT_EQ(dir.entries(),
            (std::vector<std::string>{"base.bgl", "far", "reference.bgl", "source.bgl"}));
}

TEST_F(FaultTest, ExtractFromAfdtmp) {
  const Result first = run({"-C", "base.bgl", "AP2"});
  ASSERT_EQ(first.rc, 0);
  const Bytes expected = afdtest::without_stamp(file("afdtmp.bgl"));
  // The same extract, with the input at the output's own path.
  put("afdtmp.bgl", base());
  const Result r = run({"-C", "afdtmp.bgl", "AP2"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, first.out);
  EXPECT_EQ(afdtest::without_stamp(file("afdtmp.bgl")), expected);
  EXPECT_TRUE(file("base.bgl") == base());
  EXPECT_EQ(dir.entries(),
            (std::vector<std::string>{"afdtmp.bgl", "base.bgl", "far", "source.bgl"}));
}

// --- Interrupted runs -------------------------------------------------------------

// A base of about 32 MB to copy: long enough to be caught in the middle.
class Interrupted : public Fault {
 protected:
  void SetUp() override {
    Fault::SetUp();
    static const Bytes big = afdtest::filed_airports(32, runway<1000000>, 2).build();
    put("base.bgl", big);
  }
};

TEST_P(Interrupted, OutputPathNeverHoldsAPartialFile) { expect_row(); }

// The link run in the background and, once its temporary file has grown past
// its first megabyte (polled for 60 s at most), sent the signal `sig` named
// `name`, with which the run ends (128 and its number). Standard output into a pipe is
// buffered: the banner is lost with the run. After SIGKILL nothing can clean
// up: the temporary file may stay, but never at the output path.
FaultCase interrupted(const char* row, const char* setup, int sig, const std::string& name) {
  const std::string run =
      "sh -c 'env --default-signal \"$@\" & p=$!; n=0; until [ -n \"$(find . -maxdepth 1 -name "
      "\".quarnel-*\" -size +1024k)\" ] || [ $n -ge 60000 ]; do n=$((n+1)); sleep 0.001; done; "
      "kill -" +
      name + " $p; wait $p 2>/dev/null; r=$?; " + (name == "KILL" ? "rm -f .quarnel-*; " : "") +
      "exit $r' _ ";
  return {row, setup, kLink, "", "", 128 + sig, run, "", nullptr, false};
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         ::testing::Values(interrupted("Term", "", SIGTERM, "TERM"),
                                           interrupted("Int", "echo old >out.bgl", SIGINT, "INT"),
                                           interrupted("Hup", "", SIGHUP, "HUP"),
                                           interrupted("KillWithOlderOutput", "echo old >out.bgl",
                                                       SIGKILL, "KILL"),
                                           interrupted("Kill", "", SIGKILL, "KILL")),
                         CaseName());

}  // namespace
