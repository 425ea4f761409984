// Fault tests with the real binary: failing disks, outputs that cannot be
// written, unreadable inputs, an output that is one of the inputs, outputs
// reached through links and interrupted runs. Each checks the ExitCode, the
// exact output, that the inputs are unchanged and that no stray or partial
// file is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "cli_run.h"

namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using clitest::kBanner;
using clitest::Result;
using clitest::Where;
using namespace afdtest::levels;

// A base whose airports carry `payload` bytes each, so that its output is
// larger than any buffer on the way to the disk.
Bytes big_base(int airports, std::size_t payload) {
  AfdBuilder b;
  auto& list = b.add_list();
  list.entries.push_back({kRegion, "REGION"});
  for (int i = 0; i < airports; ++i) {
    Facility f = Facility::airport("AP" + std::to_string(i), 1000 * i, -1000 * i, i % 2 == 0);
    f.extra.push_back({0x10010, Bytes(payload, static_cast<uint8_t>(i))});
    const int index = b.add(f);
    list.entries.push_back({kCity, "CITY" + std::to_string(i)});
    list.entries.push_back({kAirport, "AP" + std::to_string(i), index});
  }
  return b.build();
}

// The scratch folder holds base.bgl, of 12 airports (about 240 KB), and
// source.bgl, which replaces two of them.
class FaultTest : public clitest::CliRun {
 protected:
  void SetUp() override {
    put("base.bgl", base());
    AfdBuilder s;
    s.add(Facility::airport("AP0", 5, 5));
    s.add(Facility::airport("AP1", 6, 6, true));
    put("source.bgl", s.build());
  }
  static const Bytes& base() {
    static const Bytes b = big_base(12, 20000);
    return b;
  }
  Bytes file(const std::string& name) const { return dir.get(name); }
};

const std::vector<std::string> kLink = {"-R", "base.bgl", "source.bgl", "out.bgl"};

// The section header's file id and creation time differ between two runs.
Bytes without_run_stamp(Bytes b) {
  if (b.size() >= 144) std::fill(b.begin() + 128, b.begin() + 144, 0);
  return b;
}

// Names each instance of a table-driven test after its row.
struct CaseName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

// --- Disks that fill, outputs that cannot be written, inputs that cannot be read

// A golden row run after `setup`, a shell script in the scratch folder.
struct FaultCase : clitest::LineCase {
  FaultCase(const char* n, const char* s, LineCase run)
      : LineCase(std::move(run)), name(n), setup(s) {}
  const char* name;
  const char* setup;
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Fault : public FaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Fault, EndsAsPrintedAndLeavesEveryOtherFileAlone) {
  ASSERT_EQ(sh(GetParam().setup).rc, 0);
  expect_as_printed(GetParam());
}

// File-size limits, with SIGXFSZ ignored (the tool must not die of it either way).
constexpr const char* kIgnoring = "trap '' XFSZ; prlimit --fsize=";
constexpr const char* kNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
const std::string kCannotWriteOut = "cannot write:\"out.bgl\"\n";
const std::string kTrace =
    "NameList\n  Region:          REGION\n        City:      CITY0\n          Airport: AP0\n"
    "        City:      CITY3\n          Airport: AP3\n        City:      CITY11\n"
    "          Airport: AP11\n";
const std::string kExtractFull = kTrace + "cannot write:\"afdtmp.bgl\"\n";
const std::string kOpenBase = "cannot open:\"base.bgl\"\n";
const std::string kOpenSource = "cannot open:\"source.bgl\"\n";
std::string no_read(const char* name) {
  return std::string("quarnel: cannot open ") + name +
         ": permission denied; you need the right to read it\n";
}

const FaultCase kFaults[] = {
    {"LinkNothingFits",
     "",
     {kLink, kCannotWriteOut, "", 6, Where::kPosix, kIgnoring + std::string("0 ")}},
    {"LinkHeadersFit",
     "",
     {kLink, kCannotWriteOut, "", 6, Where::kPosix, kIgnoring + std::string("200 ")}},
    {"LinkFailsAtFlush",
     "echo old >out.bgl",
     {kLink, kCannotWriteOut, "", 6, Where::kPosix, kIgnoring + std::string("4096 ")}},
    {"LinkFailsMidway",
     "echo old >out.bgl",
     {kLink, kCannotWriteOut, "", 6, Where::kPosix, kIgnoring + std::string("150000 ")}},
    {"LinkSigxfszNotIgnored",
     "echo old >out.bgl",
     {kLink, kCannotWriteOut, "", 6, Where::kPosix, "prlimit --fsize=150000 "}},
    {"ExtractNothingFits",
     "",
     {"-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6, Where::kPosix,
      kIgnoring + std::string("0 ")}},
    {"ExtractFailsMidway",
     "echo old >afdtmp.bgl",
     {"-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6, Where::kPosix,
      kIgnoring + std::string("30000 ")}},
    {"ExtractSigxfszNotIgnored",
     "",
     {"-C base.bgl AP0 AP3 AP11", kExtractFull, "", 6, Where::kPosix, "prlimit --fsize=30000 "}},
    // Paths that cannot be written end with 6 before anything is written.
    {"MissingFolder",
     "",
     {"-R base.bgl source.bgl no/such/folder/out.bgl", "",
      "quarnel: cannot write no/such/folder/out.bgl: there is no folder no/such/folder; create it "
      "or name another\n",
      6}},
    {"Directory",
     "mkdir outdir",
     {"-R base.bgl source.bgl outdir", "",
      "quarnel: cannot write outdir: it is a folder; name a file to write\n", 6}},
    {"Fifo",
     "mkfifo pipe",
     {"-R base.bgl source.bgl pipe", "",
      "quarnel: cannot write pipe: it is not a regular file (a device or a pipe); name a file\n", 6,
      Where::kPosix}},
    {"ReadOnlyFolder",
     "mkdir -m 0555 ro",
     {"-R base.bgl source.bgl ro/out.bgl", "",
      "quarnel: cannot write ro/out.bgl: the folder ro may not be written; name another\n", 6,
      Where::kPosix, kNobody}},
    {"ReadOnlyFile",
     "printf keep >ro.bgl && chmod 0444 ro.bgl",
     {"-R base.bgl source.bgl ro.bgl", "",
      "quarnel: cannot write ro.bgl: the file is read-only; make it writable or name another\n", 6,
      Where::kPosix, kNobody}},
    {"ExtractOutputIsADirectory",
     "mkdir afdtmp.bgl",
     {"-C base.bgl AP1", "",
      "quarnel: cannot write afdtmp.bgl: it is a folder; name a file to write\n", 6}},
    {"ExtractInAReadOnlyFolder",
     "chmod 0555 .",
     {"-C base.bgl AP1", "",
      "quarnel: cannot write afdtmp.bgl: the folder . may not be written; name another\n", 6,
      Where::kPosix, kNobody}},
    // Inputs that cannot be read, for a user whom permissions stop (the tests
    // run as root); the folder may be written.
    {"Statistics",
     "chmod 0 base.bgl && chmod 0777 .",
     {"-S base.bgl", kOpenBase + "error processing file:\"base.bgl\"\n", no_read("base.bgl"), 2,
      Where::kPosix, kNobody}},
    {"Extract",
     "chmod 0 base.bgl && chmod 0777 .",
     {"-C base.bgl AP1", kOpenBase, no_read("base.bgl"), 2, Where::kPosix, kNobody}},
    {"LinkBase",
     "chmod 0 base.bgl && chmod 0777 .",
     {kLink, kOpenBase, no_read("base.bgl"), 2, Where::kPosix, kNobody}},
    {"LinkSource",
     "chmod 0 source.bgl && chmod 0777 .",
     {kLink, kOpenSource, no_read("source.bgl"), 2, Where::kPosix, kNobody}},
    {"LinkBoth",
     "chmod 0 base.bgl source.bgl && chmod 0777 .",
     {kLink, kOpenBase + kOpenSource, no_read("base.bgl") + no_read("source.bgl"), 2, Where::kPosix,
      kNobody}},
    {"ReadableButNotWritable",
     "chmod 0777 .",
     {kLink, "", "quarnel: 2 of 2 airports of source.bgl replaced airports of base.bgl\n", 0,
      Where::kPosix, kNobody, "out.bgl"}},
};

INSTANTIATE_TEST_SUITE_P(Table, Fault, ::testing::ValuesIn(kFaults), CaseName());

// --- An output that is one of the inputs -----------------------------------------

TEST_F(FaultTest, LinkOverEitherInputGivesTheSameFileAsElsewhere) {
  for (const std::string overwritten : {"base.bgl", "source.bgl"}) {
    SCOPED_TRACE(overwritten);
    SetUp();
    const Bytes source = file("source.bgl");
    ASSERT_EQ(run({"-R", "base.bgl", "source.bgl", "reference.bgl"}).rc, 0);
    const Result r = run({"-R", "base.bgl", "source.bgl", overwritten});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, kBanner);
    EXPECT_EQ(without_run_stamp(file(overwritten)), without_run_stamp(file("reference.bgl")));
    if (overwritten == "base.bgl") {
      EXPECT_EQ(file("source.bgl"), source);
    } else {
      EXPECT_TRUE(file("base.bgl") == base());
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"base.bgl", "reference.bgl", "source.bgl"}));
  }
}

TEST_F(FaultTest, ExtractFromAfdtmp) {
  const Result first = run({"-C", "base.bgl", "AP2"});
  ASSERT_EQ(first.rc, 0);
  const Bytes expected = without_run_stamp(file("afdtmp.bgl"));
  // The same extract, with the input at the output's own path.
  put("afdtmp.bgl", base());
  const Result r = run({"-C", "afdtmp.bgl", "AP2"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, first.out);
  EXPECT_EQ(without_run_stamp(file("afdtmp.bgl")), expected);
  EXPECT_TRUE(file("base.bgl") == base());
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"afdtmp.bgl", "base.bgl", "source.bgl"}));
}

// --- Outputs reached through links ----------------------------------------------------

const Bytes kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

std::string link_text(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

struct LinkCase {
  const char* name;
  // Symbolic links to make, name and text; "@" in a text stands for the
  // scratch folder's absolute path.
  std::vector<std::pair<std::string, std::string>> links;
  bool extract;         // false: link
  const char* target;   // the file that gets the result; null: the run fails
  bool earlier_target;  // the target holds an earlier file before the run
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

// The folder "far", where the links lead, and the result the command writes
// to a plain path (without its run stamp) with what it printed.
class LinkedOutput : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    ASSERT_EQ(mkdir(dir.file("far").c_str(), 0755), 0);
  }
  void reference(const std::vector<std::string>& args, const std::string& output) {
    reference_ = run(args);
    ASSERT_EQ(reference_.rc, 0);
    result_ = without_run_stamp(file(output));
    unlink(dir.file(output).c_str());
  }
  // Every name in the scratch folder and in "far".
  std::vector<std::string> both_listings() const {
    std::vector<std::string> names = dir.entries();
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("far"))) {
      names.push_back("far/" + entry.path().filename().string());
    }
    return names;
  }
  Result reference_;
  Bytes result_;
};

class SymlinkedOutput : public LinkedOutput, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(SymlinkedOutput, TargetGetsTheResultAndTheLinkStays) {
  const LinkCase& c = GetParam();
  const std::vector<std::string> args =
      c.extract ? std::vector<std::string>{"-C", "base.bgl", "AP1", "AP2"} : kLink;
  reference(args, c.extract ? "afdtmp.bgl" : "out.bgl");
  std::vector<std::pair<std::string, std::string>> links;
  for (auto [name, text] : c.links) {
    if (text[0] == '@') text = dir.path() + text.substr(1);
    ASSERT_EQ(symlink(text.c_str(), dir.file(name).c_str()), 0) << name;
    links.emplace_back(name, text);
  }
  struct stat target_before {};
  if (c.earlier_target) {
    dir.put(c.target, kEarlier);
    chmod(dir.file(c.target).c_str(), 0640);
    ASSERT_EQ(stat(dir.file(c.target).c_str(), &target_before), 0);
  }
  const std::vector<std::string> before = both_listings();

  const Result r = run(args);
  for (const auto& [name, text] : links) EXPECT_EQ(link_text(dir.file(name)), text) << name;
  std::vector<std::string> after = both_listings();
  if (c.target == nullptr) {
    EXPECT_EQ(r.rc, 6);
    EXPECT_EQ(r.out, kBanner);
    EXPECT_EQ(after, before);
    return;
  }
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_EQ(r.out, reference_.out);
  if (!c.earlier_target) after.erase(std::find(after.begin(), after.end(), c.target));
  EXPECT_EQ(after, before) << "no temporary file left, no other file made";
  EXPECT_EQ(without_run_stamp(file(c.target)), result_);
  struct stat target_after {};
  ASSERT_EQ(lstat(dir.file(c.target).c_str(), &target_after), 0);
  EXPECT_TRUE(S_ISREG(target_after.st_mode));
  if (c.earlier_target) {
    EXPECT_EQ(target_after.st_mode, target_before.st_mode) << "the replaced file's permissions";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, SymlinkedOutput,
    ::testing::Values(
        LinkCase{"RelativeLink", {{"out.bgl", "far/target.bgl"}}, false, "far/target.bgl", true},
        LinkCase{"AbsoluteLink", {{"out.bgl", "@/far/target.bgl"}}, false, "far/target.bgl", true},
        LinkCase{"ChainOfLinks",
                 {{"out.bgl", "far/hop1"}, {"far/hop1", "hop2"}, {"far/hop2", "../far/final.bgl"}},
                 false,
                 "far/final.bgl",
                 true},
        LinkCase{
            "DanglingLinkGetsItsTarget", {{"out.bgl", "far/new.bgl"}}, false, "far/new.bgl", false},
        LinkCase{"ExtractThroughALink", {{"afdtmp.bgl", "far/x.bgl"}}, true, "far/x.bgl", true},
        LinkCase{
            "DanglingIntoAMissingFolder", {{"out.bgl", "far/none/new.bgl"}}, false, nullptr, false},
        LinkCase{
            "Loop", {{"out.bgl", "far/a"}, {"far/a", "b"}, {"far/b", "a"}}, false, nullptr, false},
        LinkCase{"LinkToAFolder", {{"out.bgl", "far"}}, false, nullptr, false}),
    CaseName());

// The rename gives the output path a new file; the output's other names keep
// the earlier contents.
TEST_F(LinkedOutput, AHardLinkedOutputBecomesANewFileAndTheOtherNameKeepsTheEarlierOne) {
  reference(kLink, "out.bgl");
  dir.put("far/other.bgl", kEarlier);
  ASSERT_EQ(link(dir.file("far/other.bgl").c_str(), dir.file("out.bgl").c_str()), 0);
  struct stat before {};
  ASSERT_EQ(stat(dir.file("out.bgl").c_str(), &before), 0);
  ASSERT_EQ(before.st_nlink, 2u);

  EXPECT_EQ(run(kLink).rc, 0);
  EXPECT_EQ(without_run_stamp(file("out.bgl")), result_);
  EXPECT_EQ(file("far/other.bgl"), kEarlier);
  struct stat out {
  }, other{};
  ASSERT_EQ(stat(dir.file("out.bgl").c_str(), &out), 0);
  ASSERT_EQ(stat(dir.file("far/other.bgl").c_str(), &other), 0);
  EXPECT_NE(out.st_ino, before.st_ino);
  EXPECT_EQ(out.st_nlink, 1u);
  EXPECT_EQ(other.st_ino, before.st_ino);
  EXPECT_EQ(other.st_nlink, 1u);
  EXPECT_EQ(out.st_mode, before.st_mode) << "the replaced file's permissions";
}

// --- Interrupted runs -------------------------------------------------------------

struct InterruptCase {
  const char* name;
  int sig;
  bool older_output;
};
void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class Interrupted : public clitest::CliRun, public ::testing::WithParamInterface<InterruptCase> {
 protected:
  // Starts the link, calls `ready` every millisecond (for 60 s at most) until
  // it returns true, then sends `sig`; returns the run's wait status and
  // fills `out` with its standard output.
  int link_interrupted(const std::function<bool()>& ready, int sig, std::string* out) {
    const std::string exe = clitest::exe();
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      if (chdir(dir.path().c_str()) != 0) _exit(120);
      execl(exe.c_str(), exe.c_str(), "-R", "base.bgl", "source.bgl", "out.bgl", nullptr);
      _exit(121);
    }
    close(fds[1]);
    for (int waited = 0; waited < 60000 && !ready(); ++waited) usleep(1000);
    kill(pid, sig);
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) {
      out->append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
};

TEST_P(Interrupted, OutputPathNeverHoldsAPartialFile) {
  const InterruptCase& c = GetParam();
  // About 32 MB to copy: long enough to be caught in the middle.
  static const Bytes base = big_base(32, 1000000);
  put("base.bgl", base);
  AfdBuilder s;
  s.add(Facility::airport("AP0", 5, 5));
  put("source.bgl", s.build());
  const Bytes older = {'o', 'l', 'd'};
  if (c.older_output) put("out.bgl", older);
  const std::vector<std::string> before = dir.entries();
  // Ready once the temporary file has grown past its first megabyte.
  const auto writing = [this] {
    for (const std::string& name : dir.entries()) {
      struct stat st;
      if (name.rfind(".quarnel-", 0) == 0 && stat(dir.file(name).c_str(), &st) == 0 &&
          st.st_size > (1 << 20)) {
        return true;
      }
    }
    return false;
  };
  std::string out;
  const int status = link_interrupted(writing, c.sig, &out);
  ASSERT_TRUE(WIFSIGNALED(status))
      << "the run ended (status " << status << ") before it could be interrupted";
  EXPECT_EQ(WTERMSIG(status), c.sig);
  // Standard output into a pipe is buffered; a run ended by a signal may not
  // have flushed its banner.
  EXPECT_TRUE(out.empty() || out == kBanner) << out;
  EXPECT_TRUE(dir.get("base.bgl") == base) << "the base changed";
  EXPECT_EQ(dir.get("source.bgl"), s.build());
  if (c.older_output) {
    EXPECT_EQ(dir.get("out.bgl"), older);
  } else {
    EXPECT_FALSE(dir.exists("out.bgl"));
  }
  std::vector<std::string> after = dir.entries();
  if (c.sig == SIGKILL) {
    // Nothing can clean up after SIGKILL: the temporary file may stay, but
    // never at the output path.
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](const std::string& n) { return n.rfind(".quarnel-", 0) == 0; }),
                after.end());
  }
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         ::testing::Values(InterruptCase{"Term", SIGTERM, false},
                                           InterruptCase{"Int", SIGINT, true},
                                           InterruptCase{"Hup", SIGHUP, false},
                                           InterruptCase{"KillWithOlderOutput", SIGKILL, true},
                                           InterruptCase{"Kill", SIGKILL, false}),
                         CaseName());

}  // namespace
