// Fault tests with the real binary: failing disks, outputs that cannot be
// written, an output that is one of the inputs, interrupted runs, unreadable
// inputs, and outputs reached through links. Each checks the ExitCode, the
// exact standard output, that the inputs are unchanged and that no stray or
// partial file is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "scratch_dir.h"
#include "test_support.h"
#include "tool_process.h"

namespace robustness {
namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::kBanner;
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

// A scratch folder with base.bgl, of `airports` airports, and source.bgl,
// which replaces two of them.
struct Scene {
  afdtest::ScratchDir dir;
  Bytes base;
  Bytes source;

  explicit Scene(int airports, std::size_t payload = 100) : Scene(big_base(airports, payload)) {}
  explicit Scene(Bytes base_file) : base(std::move(base_file)) {
    AfdBuilder s;
    s.add(Facility::airport("AP0", 5, 5));
    s.add(Facility::airport("AP1", 6, 6, true));
    source = s.build();
    dir.put("base.bgl", base);
    dir.put("source.bgl", source);
  }

  Outcome run(std::vector<std::string> args, Launch launch = {}) const {
    launch.dir = dir.path();
    launch.args = std::move(args);
    return run_quarnel(launch);
  }

  void expect_inputs_kept() const {
    EXPECT_TRUE(dir.get("base.bgl") == base) << "the base changed";
    EXPECT_EQ(dir.get("source.bgl"), source);
  }
};

const std::vector<std::string> kLink = {"-R", "base.bgl", "source.bgl", "out.bgl"};
const std::vector<std::string> kExtract = {"-C", "base.bgl", "AP1", "AP2"};

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

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

std::string cannot_write(const std::string& path) { return "cannot write:\"" + path + "\"\n"; }

// Whether runs as an unprivileged user can be made here; empty when they can.
std::string unprivileged_unavailable() {
  if (!permissions_are_bypassed()) return {};
  Launch probe;
  probe.unprivileged = true;
  const Outcome o = Scene(1).run({"-S"}, probe);
  if (o.exited && o.exit_code == 0) return {};
  return "running as root, and the binary cannot be run as an unprivileged user (uid 65534) "
         "here, so permission checks cannot be made";
}

// --- A full disk --------------------------------------------------------------

struct FullDiskCase {
  const char* name;
  bool extract;  // false: link
  long long limit;
  bool ignore_sigxfsz;  // in the parent; the tool must not die of SIGXFSZ either way
  bool older_output;
};
// Test names show the row, not its bytes.
void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDisk, ReportsCannotWriteAndLeavesNothing) {
  const FullDiskCase& c = GetParam();
  const Scene s(12, 20000);  // about 240 KB of output
  const std::string output = c.extract ? "afdtmp.bgl" : "out.bgl";
  const Bytes older = {'o', 'l', 'd'};
  if (c.older_output) s.dir.put(output, older);
  const std::vector<std::string> before = s.dir.entries();

  Launch l;
  l.file_size_limit = c.limit;
  l.ignore_sigxfsz = c.ignore_sigxfsz;
  const Outcome o = s.run(
      c.extract ? std::vector<std::string>{"-C", "base.bgl", "AP0", "AP3", "AP11"} : kLink, l);

  ASSERT_TRUE(o.exited) << "ended by signal " << o.signal;
  EXPECT_EQ(o.exit_code, 6);
  if (c.extract) {
    // The trace lines come first; the report of the failure is the last line.
    ASSERT_GE(o.out.size(), cannot_write(output).size());
    EXPECT_EQ(o.out.substr(o.out.size() - cannot_write(output).size()), cannot_write(output));
    EXPECT_EQ(o.out.rfind(kBanner, 0), 0u);
  } else {
    EXPECT_EQ(o.out, kBanner + cannot_write(output));
  }
  s.expect_inputs_kept();
  EXPECT_EQ(s.dir.entries(), before);
  if (c.older_output) {
    EXPECT_EQ(s.dir.get(output), older);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, FullDisk,
    ::testing::Values(FullDiskCase{"LinkNothingFits", false, 0, true, false},
                      FullDiskCase{"LinkHeadersFit", false, 200, true, false},
                      FullDiskCase{"LinkFailsAtFlush", false, 4096, true, true},
                      FullDiskCase{"LinkFailsMidway", false, 150000, true, true},
                      FullDiskCase{"LinkSigxfszNotIgnored", false, 150000, false, true},
                      FullDiskCase{"ExtractNothingFits", true, 0, true, false},
                      FullDiskCase{"ExtractFailsMidway", true, 30000, true, true},
                      FullDiskCase{"ExtractSigxfszNotIgnored", true, 30000, false, false}),
    CaseName());

// --- Output paths that cannot be written ----------------------------------------

struct UnwritableCase {
  const char* name;
  bool extract;        // false: link to `output`; true: extract to afdtmp.bgl
  const char* output;  // relative to the scratch folder
  void (*prepare)(const afdtest::ScratchDir&);
  bool needs_permissions;
};
void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.name; }

void nothing(const afdtest::ScratchDir&) {}
void make_directory(const afdtest::ScratchDir& d) { mkdir(d.file("outdir").c_str(), 0755); }
void make_afdtmp_directory(const afdtest::ScratchDir& d) {
  mkdir(d.file("afdtmp.bgl").c_str(), 0755);
}
void make_read_only_folder(const afdtest::ScratchDir& d) { mkdir(d.file("ro").c_str(), 0555); }
void make_read_only_file(const afdtest::ScratchDir& d) {
  d.put("ro.bgl", {'k', 'e', 'e', 'p'});
  chmod(d.file("ro.bgl").c_str(), 0444);
}
void make_fifo(const afdtest::ScratchDir& d) { mkfifo(d.file("pipe").c_str(), 0644); }
// The extract writes in its working folder.
void make_folder_read_only(const afdtest::ScratchDir& d) { chmod(d.path().c_str(), 0555); }

class UnwritableOutput : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableOutput, EndsWithSixBeforeWriting) {
  const UnwritableCase& c = GetParam();
  if (c.needs_permissions) {
    const std::string why = unprivileged_unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
  }
  const Scene s(3);
  c.prepare(s.dir);
  const std::vector<std::string> before = s.dir.entries();
  struct stat st_before {};
  const bool existed = lstat(s.dir.file(c.output).c_str(), &st_before) == 0;

  Launch l;
  l.unprivileged = c.needs_permissions;
  const Outcome o =
      s.run(c.extract ? std::vector<std::string>{"-C", "base.bgl", "AP1"}
                      : std::vector<std::string>{"-R", "base.bgl", "source.bgl", c.output},
            l);
  chmod(s.dir.path().c_str(), 0755);
  ASSERT_TRUE(o.exited) << "ended by signal " << o.signal;
  EXPECT_EQ(o.exit_code, 6);
  EXPECT_EQ(o.out, kBanner);
  s.expect_inputs_kept();
  EXPECT_EQ(s.dir.entries(), before);
  struct stat st_after {};
  EXPECT_EQ(lstat(s.dir.file(c.output).c_str(), &st_after) == 0, existed);
  if (existed) {
    EXPECT_EQ(st_after.st_mode, st_before.st_mode);
    EXPECT_EQ(st_after.st_ino, st_before.st_ino);
    EXPECT_EQ(st_after.st_size, st_before.st_size);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritableOutput,
    ::testing::Values(
        UnwritableCase{"MissingFolder", false, "no/such/folder/out.bgl", nothing, false},
        UnwritableCase{"Directory", false, "outdir", make_directory, false},
        UnwritableCase{"Fifo", false, "pipe", make_fifo, false},
        UnwritableCase{"ReadOnlyFolder", false, "ro/out.bgl", make_read_only_folder, true},
        UnwritableCase{"ReadOnlyFile", false, "ro.bgl", make_read_only_file, true},
        UnwritableCase{"ExtractOutputIsADirectory", true, "afdtmp.bgl", make_afdtmp_directory,
                       false},
        UnwritableCase{"ExtractInAReadOnlyFolder", true, "afdtmp.bgl", make_folder_read_only,
                       true}),
    CaseName());

// --- An output that is one of the inputs -----------------------------------------

TEST(OutputIsAnInput, LinkOverEitherInputGivesTheSameFileAsElsewhere) {
  for (const std::string overwritten : {"base.bgl", "source.bgl"}) {
    SCOPED_TRACE(overwritten);
    const Scene s(4, 3000);
    ASSERT_EQ(s.run({"-R", "base.bgl", "source.bgl", "reference.bgl"}).exit_code, 0);
    const Outcome o = s.run({"-R", "base.bgl", "source.bgl", overwritten});
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_EQ(o.out, kBanner);
    EXPECT_EQ(without_run_stamp(s.dir.get(overwritten)),
              without_run_stamp(s.dir.get("reference.bgl")));
    const bool base_replaced = overwritten == "base.bgl";
    EXPECT_EQ(s.dir.get(base_replaced ? "source.bgl" : "base.bgl"),
              base_replaced ? s.source : s.base);
    EXPECT_EQ(s.dir.entries(), sorted({"base.bgl", "reference.bgl", "source.bgl"}));
  }
}

TEST(OutputIsAnInput, ExtractFromAfdtmp) {
  const Scene s(4, 3000);
  const Outcome first = s.run({"-C", "base.bgl", "AP2"});
  ASSERT_EQ(first.exit_code, 0);
  const Bytes expected = without_run_stamp(s.dir.get("afdtmp.bgl"));

  // The same extract, with the input at the output's own path.
  s.dir.put("afdtmp.bgl", s.base);
  const Outcome o = s.run({"-C", "afdtmp.bgl", "AP2"});
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, first.out);
  EXPECT_EQ(without_run_stamp(s.dir.get("afdtmp.bgl")), expected);
  s.expect_inputs_kept();
  EXPECT_EQ(s.dir.entries(), sorted({"afdtmp.bgl", "base.bgl", "source.bgl"}));
}

// --- Interrupted runs -------------------------------------------------------------

struct InterruptCase {
  const char* name;
  int sig;
  bool older_output;
};
void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class Interrupted : public ::testing::TestWithParam<InterruptCase> {
 protected:
  static void SetUpTestSuite() {
    // About 32 MB to copy: long enough to be caught in the middle.
    base_ = new Bytes(big_base(32, 1000000));
  }
  static void TearDownTestSuite() {
    delete base_;
    base_ = nullptr;
  }
  static Bytes* base_;
};
Bytes* Interrupted::base_ = nullptr;

TEST_P(Interrupted, OutputPathNeverHoldsAPartialFile) {
  const InterruptCase& c = GetParam();
  const Scene s(*base_);
  const afdtest::ScratchDir& dir = s.dir;
  const Bytes older = {'o', 'l', 'd'};
  if (c.older_output) dir.put("out.bgl", older);
  const std::vector<std::string> before = dir.entries();

  Launch l;
  l.dir = dir.path();
  l.args = kLink;
  // Ready once the temporary file has grown past its first megabyte.
  const auto writing = [&dir] {
    for (const std::string& t : temporaries(dir.entries())) {
      struct stat st;
      if (stat(dir.file(t).c_str(), &st) == 0 && st.st_size > (1 << 20)) return true;
    }
    return false;
  };
  const Outcome o = run_quarnel_interrupted(l, writing, c.sig);
  ASSERT_FALSE(o.exited) << "the run ended (ExitCode " << o.exit_code
                         << ") before it could be interrupted";
  EXPECT_EQ(o.signal, c.sig);
  // Standard output into a pipe is buffered; a run ended by a signal may not
  // have flushed its banner.
  EXPECT_TRUE(o.out.empty() || o.out == kBanner) << o.out;
  s.expect_inputs_kept();
  if (c.older_output) {
    EXPECT_EQ(dir.get("out.bgl"), older);
  } else {
    EXPECT_FALSE(dir.exists("out.bgl"));
  }
  std::vector<std::string> after = dir.entries();
  if (c.sig == SIGKILL) {
    // Nothing can clean up after SIGKILL: the temporary file may stay, but
    // never at the output path.
    for (const std::string& t : temporaries(after)) {
      unlink(dir.file(t).c_str());
      after.erase(std::find(after.begin(), after.end(), t));
    }
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

// --- Inputs that cannot be read ----------------------------------------------------

struct UnreadableCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> locked;  // files made unreadable
  std::string expected_out;         // after the banner
  int exit_code;
};
void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableInput : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableInput, CannotOpenAndNothingWritten) {
  const UnreadableCase& c = GetParam();
  const std::string why = unprivileged_unavailable();
  if (!why.empty()) GTEST_SKIP() << why;
  const Scene s(3);
  for (const std::string& f : c.locked) chmod(s.dir.file(f).c_str(), 0);
  // The unprivileged run may create its output here; the inputs stay the
  // superuser's, readable by all and writable by nobody else.
  chmod(s.dir.path().c_str(), 0777);
  std::vector<std::string> expected = s.dir.entries();
  if (c.exit_code == 0) expected = sorted({"base.bgl", "out.bgl", "source.bgl"});
  Launch l;
  l.unprivileged = true;
  const Outcome o = s.run(c.args, l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, c.exit_code);
  EXPECT_EQ(o.out, kBanner + c.expected_out);
  EXPECT_EQ(s.dir.entries(), expected);
  for (const std::string& f : c.locked) chmod(s.dir.file(f).c_str(), 0644);
  s.expect_inputs_kept();
}

const std::string kOpenBase = "cannot open:\"base.bgl\"\n";
const std::string kOpenSource = "cannot open:\"source.bgl\"\n";

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableInput,
    ::testing::Values(
        UnreadableCase{"Statistics",
                       {"-S", "base.bgl"},
                       {"base.bgl"},
                       kOpenBase + "error processing file:\"base.bgl\"\n",
                       2},
        UnreadableCase{"Extract", {"-C", "base.bgl", "AP1"}, {"base.bgl"}, kOpenBase, 2},
        UnreadableCase{"LinkBase", kLink, {"base.bgl"}, kOpenBase, 2},
        UnreadableCase{"LinkSource", kLink, {"source.bgl"}, kOpenSource, 2},
        UnreadableCase{"LinkBoth", kLink, {"base.bgl", "source.bgl"}, kOpenBase + kOpenSource, 2},
        UnreadableCase{"ReadableButNotWritable", kLink, {}, "", 0}),
    CaseName());

// --- Outputs reached through links ----------------------------------------------------

const Bytes kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

std::string link_text(const std::string& path) {
  char buf[4096];
  const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

// Every name in the scratch folder and in its folder "far", where the links
// lead.
std::vector<std::string> both_listings(const afdtest::ScratchDir& dir) {
  std::vector<std::string> names = dir.entries();
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("far"))) {
    names.push_back("far/" + entry.path().filename().string());
  }
  return names;
}

// The inputs, the folder "far", and the result the command writes to a plain
// path (without its run stamp) with what it printed.
struct Linked : Scene {
  Bytes result;
  std::string out;

  explicit Linked(const std::vector<std::string>& args) : Scene(4) {
    EXPECT_EQ(mkdir(dir.file("far").c_str(), 0755), 0);
    const Outcome o = run(args);
    EXPECT_EQ(o.exit_code, 0);
    const std::string output = args == kExtract ? "afdtmp.bgl" : "out.bgl";
    result = without_run_stamp(dir.get(output));
    out = o.out;
    unlink(dir.file(output).c_str());
  }
};

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

class SymlinkedOutput : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SymlinkedOutput, TargetGetsTheResultAndTheLinkStays) {
  const LinkCase& c = GetParam();
  const std::vector<std::string>& args = c.extract ? kExtract : kLink;
  const Linked s(args);
  const afdtest::ScratchDir& dir = s.dir;
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
  const std::vector<std::string> before = both_listings(dir);

  const Outcome o = s.run(args);
  ASSERT_TRUE(o.exited);
  for (const auto& [name, text] : links) EXPECT_EQ(link_text(dir.file(name)), text) << name;
  std::vector<std::string> after = both_listings(dir);
  if (c.target == nullptr) {
    EXPECT_EQ(o.exit_code, 6);
    EXPECT_EQ(o.out, kBanner);
    EXPECT_EQ(after, before);
    return;
  }
  EXPECT_EQ(o.exit_code, 0) << o.out;
  EXPECT_EQ(o.out, s.out);
  if (!c.earlier_target) after.erase(std::find(after.begin(), after.end(), c.target));
  EXPECT_EQ(after, before) << "no temporary file left, no other file made";
  EXPECT_EQ(without_run_stamp(dir.get(c.target)), s.result);
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
TEST(HardLinkedOutput, BecomesANewFileAndTheOtherNameKeepsTheEarlierOne) {
  const Linked s(kLink);
  const afdtest::ScratchDir& dir = s.dir;
  dir.put("far/other.bgl", kEarlier);
  ASSERT_EQ(link(dir.file("far/other.bgl").c_str(), dir.file("out.bgl").c_str()), 0);
  struct stat before {};
  ASSERT_EQ(stat(dir.file("out.bgl").c_str(), &before), 0);
  ASSERT_EQ(before.st_nlink, 2u);

  const Outcome o = s.run(kLink);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(without_run_stamp(dir.get("out.bgl")), s.result);
  EXPECT_EQ(dir.get("far/other.bgl"), kEarlier);
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

}  // namespace
}  // namespace robustness
