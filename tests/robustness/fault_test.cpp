// Fault tests with the real binary: failing disks, outputs that cannot be
// written, an output that is one of the inputs, interrupted runs and
// unreadable inputs. Each checks the ExitCode, the exact standard output, that
// the inputs are unchanged and that no stray or partial file is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

using namespace afdtest::levels;
using afdtest::kBanner;

// A base whose airports carry `payload` bytes each, so that its output is
// larger than any buffer on the way to the disk, and a source that replaces
// two of them.
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

Bytes small_source() {
  AfdBuilder s;
  s.add(Facility::airport("AP0", 5, 5));
  s.add(Facility::airport("AP1", 6, 6, true));
  return s.build();
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
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
  afdtest::ScratchDir dir;
  Launch probe;
  probe.dir = dir.path();
  probe.args = {"-S"};
  probe.unprivileged = true;
  const Outcome o = run_quarnel(probe);
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
  afdtest::ScratchDir dir;
  const Bytes base = big_base(12, 20000);  // about 240 KB of output
  const Bytes source = small_source();
  dir.put("base.bgl", base);
  dir.put("source.bgl", source);
  const std::string output = c.extract ? "afdtmp.bgl" : "out.bgl";
  const Bytes older = {'o', 'l', 'd'};
  if (c.older_output) dir.put(output, older);
  const std::vector<std::string> before = dir.entries();

  Launch l;
  l.dir = dir.path();
  l.args = c.extract ? std::vector<std::string>{"-C", "base.bgl", "AP0", "AP3", "AP11"}
                     : std::vector<std::string>{"-R", "base.bgl", "source.bgl", output};
  l.file_size_limit = c.limit;
  l.ignore_sigxfsz = c.ignore_sigxfsz;
  const Outcome o = run_quarnel(l);

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
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.get("source.bgl"), source);
  EXPECT_EQ(dir.entries(), before);
  if (c.older_output) {
    EXPECT_EQ(dir.get(output), older);
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
  const char* output;  // relative to the scratch folder
  void (*prepare)(const afdtest::ScratchDir&);
  bool needs_permissions;
};
void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.name; }

void nothing(const afdtest::ScratchDir&) {}
void make_directory(const afdtest::ScratchDir& d) { mkdir(d.file("outdir").c_str(), 0755); }
void make_read_only_folder(const afdtest::ScratchDir& d) { mkdir(d.file("ro").c_str(), 0555); }
void make_read_only_file(const afdtest::ScratchDir& d) {
  d.put("ro.bgl", {'k', 'e', 'e', 'p'});
  chmod(d.file("ro.bgl").c_str(), 0444);
}
void make_fifo(const afdtest::ScratchDir& d) { mkfifo(d.file("pipe").c_str(), 0644); }

class UnwritableOutput : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableOutput, EndsWithSixBeforeWriting) {
  const UnwritableCase& c = GetParam();
  if (c.needs_permissions) {
    const std::string why = unprivileged_unavailable();
    if (!why.empty()) GTEST_SKIP() << why;
  }
  afdtest::ScratchDir dir;
  const Bytes base = big_base(3, 100);
  const Bytes source = small_source();
  dir.put("base.bgl", base);
  dir.put("source.bgl", source);
  c.prepare(dir);
  const std::vector<std::string> before = dir.entries();
  struct stat st_before {};
  const bool existed = lstat(dir.file(c.output).c_str(), &st_before) == 0;

  Launch l;
  l.dir = dir.path();
  l.unprivileged = c.needs_permissions;
  l.args = {"-R", "base.bgl", "source.bgl", c.output};
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited) << "ended by signal " << o.signal;
  EXPECT_EQ(o.exit_code, 6);
  EXPECT_EQ(o.out, kBanner);
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.get("source.bgl"), source);
  EXPECT_EQ(dir.entries(), before);
  struct stat st_after {};
  EXPECT_EQ(lstat(dir.file(c.output).c_str(), &st_after) == 0, existed);
  if (existed) {
    EXPECT_EQ(st_after.st_mode, st_before.st_mode);
    EXPECT_EQ(st_after.st_ino, st_before.st_ino);
    EXPECT_EQ(st_after.st_size, st_before.st_size);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritableOutput,
    ::testing::Values(UnwritableCase{"MissingFolder", "no/such/folder/out.bgl", nothing, false},
                      UnwritableCase{"Directory", "outdir", make_directory, false},
                      UnwritableCase{"Fifo", "pipe", make_fifo, false},
                      UnwritableCase{"ReadOnlyFolder", "ro/out.bgl", make_read_only_folder, true},
                      UnwritableCase{"ReadOnlyFile", "ro.bgl", make_read_only_file, true}),
    CaseName());

// The extract writes afdtmp.bgl in its working folder: a working folder that
// may not be written, and an afdtmp.bgl that is a directory.
TEST(UnwritableExtractOutput, ReadOnlyWorkingFolder) {
  const std::string why = unprivileged_unavailable();
  if (!why.empty()) GTEST_SKIP() << why;
  afdtest::ScratchDir dir;
  const Bytes base = big_base(3, 100);
  dir.put("base.bgl", base);
  chmod(dir.path().c_str(), 0555);
  Launch l;
  l.dir = dir.path();
  l.unprivileged = true;
  l.args = {"-C", "base.bgl", "AP1"};
  const Outcome o = run_quarnel(l);
  chmod(dir.path().c_str(), 0755);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 6);
  EXPECT_EQ(o.out, kBanner);
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"base.bgl"});
}

TEST(UnwritableExtractOutput, OutputIsADirectory) {
  afdtest::ScratchDir dir;
  const Bytes base = big_base(3, 100);
  dir.put("base.bgl", base);
  mkdir(dir.file("afdtmp.bgl").c_str(), 0755);
  Launch l;
  l.dir = dir.path();
  l.args = {"-C", "base.bgl", "AP1"};
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 6);
  EXPECT_EQ(o.out, kBanner);
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.entries(), sorted({"afdtmp.bgl", "base.bgl"}));
}

// --- An output that is one of the inputs -----------------------------------------

// The section header's file id and creation time differ between two runs.
Bytes without_run_stamp(Bytes b) {
  if (b.size() >= 144) std::fill(b.begin() + 128, b.begin() + 144, 0);
  return b;
}

TEST(OutputIsAnInput, LinkOverEitherInputGivesTheSameFileAsElsewhere) {
  for (const std::string overwritten : {"base.bgl", "source.bgl"}) {
    SCOPED_TRACE(overwritten);
    afdtest::ScratchDir dir;
    const Bytes base = big_base(4, 3000);
    const Bytes source = small_source();
    dir.put("base.bgl", base);
    dir.put("source.bgl", source);
    Launch reference;
    reference.dir = dir.path();
    reference.args = {"-R", "base.bgl", "source.bgl", "reference.bgl"};
    ASSERT_EQ(run_quarnel(reference).exit_code, 0);

    Launch l = reference;
    l.args = {"-R", "base.bgl", "source.bgl", overwritten};
    const Outcome o = run_quarnel(l);
    ASSERT_TRUE(o.exited);
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_EQ(o.out, kBanner);
    EXPECT_EQ(without_run_stamp(dir.get(overwritten)), without_run_stamp(dir.get("reference.bgl")));
    const bool base_replaced = overwritten == "base.bgl";
    EXPECT_EQ(dir.get(base_replaced ? "source.bgl" : "base.bgl"), base_replaced ? source : base);
    EXPECT_EQ(dir.entries(), sorted({"base.bgl", "reference.bgl", "source.bgl"}));
  }
}

TEST(OutputIsAnInput, ExtractFromAfdtmp) {
  afdtest::ScratchDir dir;
  const Bytes base = big_base(4, 3000);
  dir.put("base.bgl", base);
  Launch reference;
  reference.dir = dir.path();
  reference.args = {"-C", "base.bgl", "AP2"};
  const Outcome first = run_quarnel(reference);
  ASSERT_EQ(first.exit_code, 0);
  const Bytes expected = without_run_stamp(dir.get("afdtmp.bgl"));

  // The same extract, with the input at the output's own path.
  ASSERT_EQ(std::rename(dir.file("afdtmp.bgl").c_str(), dir.file("reference.bgl").c_str()), 0);
  dir.put("afdtmp.bgl", base);
  Launch l = reference;
  l.args = {"-C", "afdtmp.bgl", "AP2"};
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_EQ(o.out, first.out);
  EXPECT_EQ(without_run_stamp(dir.get("afdtmp.bgl")), expected);
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.entries(), sorted({"afdtmp.bgl", "base.bgl", "reference.bgl"}));
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
  afdtest::ScratchDir dir;
  dir.put("base.bgl", *base_);
  const Bytes source = small_source();
  dir.put("source.bgl", source);
  const Bytes older = {'o', 'l', 'd'};
  if (c.older_output) dir.put("out.bgl", older);
  const std::vector<std::string> before = dir.entries();

  Launch l;
  l.dir = dir.path();
  l.args = {"-R", "base.bgl", "source.bgl", "out.bgl"};
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
  EXPECT_EQ(dir.get("source.bgl"), source);
  EXPECT_TRUE(dir.get("base.bgl") == *base_) << "the base changed";
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
  bool writes_output;
};
void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableInput : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableInput, CannotOpenAndNothingWritten) {
  const UnreadableCase& c = GetParam();
  const std::string why = unprivileged_unavailable();
  if (!why.empty()) GTEST_SKIP() << why;
  afdtest::ScratchDir dir;
  const Bytes base = big_base(3, 100);
  const Bytes source = small_source();
  dir.put("base.bgl", base);
  dir.put("source.bgl", source);
  for (const std::string& f : c.locked) chmod(dir.file(f).c_str(), 0);
  // The unprivileged run may create its output here; the inputs stay the
  // superuser's, readable by all and writable by nobody else.
  chmod(dir.path().c_str(), 0777);
  std::vector<std::string> before = dir.entries();
  if (c.writes_output) before = sorted({"base.bgl", "out.bgl", "source.bgl"});
  Launch l;
  l.dir = dir.path();
  l.args = c.args;
  l.unprivileged = true;
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, c.exit_code);
  EXPECT_EQ(o.out, kBanner + c.expected_out);
  EXPECT_EQ(dir.entries(), before);
  for (const std::string& f : c.locked) chmod(dir.file(f).c_str(), 0644);
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.get("source.bgl"), source);
}

const std::string kOpenBase = "cannot open:\"base.bgl\"\n";
const std::string kOpenSource = "cannot open:\"source.bgl\"\n";

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableInput,
    ::testing::Values(UnreadableCase{"Statistics",
                                     {"-S", "base.bgl"},
                                     {"base.bgl"},
                                     kOpenBase + "error processing file:\"base.bgl\"\n",
                                     2,
                                     false},
                      UnreadableCase{
                          "Extract", {"-C", "base.bgl", "AP1"}, {"base.bgl"}, kOpenBase, 2, false},
                      UnreadableCase{"LinkBase",
                                     {"-R", "base.bgl", "source.bgl", "out.bgl"},
                                     {"base.bgl"},
                                     kOpenBase,
                                     2,
                                     false},
                      UnreadableCase{"LinkSource",
                                     {"-R", "base.bgl", "source.bgl", "out.bgl"},
                                     {"source.bgl"},
                                     kOpenSource,
                                     2,
                                     false},
                      UnreadableCase{"LinkBoth",
                                     {"-R", "base.bgl", "source.bgl", "out.bgl"},
                                     {"base.bgl", "source.bgl"},
                                     kOpenBase + kOpenSource,
                                     2,
                                     false},
                      UnreadableCase{"ReadableButNotWritable",
                                     {"-R", "base.bgl", "source.bgl", "out.bgl"},
                                     {},
                                     "",
                                     0,
                                     true}),
    CaseName());

// --- Failures of the extract that must leave nothing behind ---------------------------

TEST(ExtractFailure, NestingOverflowLeavesTheOlderOutputAlone) {
  afdtest::ScratchDir dir;
  AfdBuilder b;
  const int a = b.add(Facility::airport("DEEP"));
  b.add_list().entries = {{kRegion, "R"},        {kCountry, "C"}, {kState, "S"}, {kCity, "T"},
                          {kAirport, "DEEP", a}, {kVor, "V", a},  {kNdb, "N", a}};
  const Bytes base = b.build();
  dir.put("deep.bgl", base);
  const Bytes older = {'o', 'l', 'd'};
  dir.put("afdtmp.bgl", older);
  Launch l;
  l.dir = dir.path();
  l.args = {"-C", "deep.bgl", "DEEP"};
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 15);
  EXPECT_EQ(o.out.rfind(kBanner + "NameList\n", 0), 0u) << o.out;
  EXPECT_EQ(dir.get("afdtmp.bgl"), older);
  EXPECT_EQ(dir.get("deep.bgl"), base);
  EXPECT_EQ(dir.entries(), sorted({"afdtmp.bgl", "deep.bgl"}));
}

TEST(ExtractFailure, TooManyNamesWritesNothing) {
  afdtest::ScratchDir dir;
  const Bytes base = big_base(3, 100);
  dir.put("base.bgl", base);
  Launch l;
  l.dir = dir.path();
  l.args = {"-C", "base.bgl"};
  for (int i = 0; i < 65; ++i) l.args.push_back("AP" + std::to_string(i));
  const Outcome o = run_quarnel(l);
  ASSERT_TRUE(o.exited);
  EXPECT_EQ(o.exit_code, 7);
  EXPECT_EQ(o.out, kBanner + "too many names: 65 (at most 64)\n");
  EXPECT_EQ(dir.get("base.bgl"), base);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"base.bgl"});
}

}  // namespace
}  // namespace robustness
