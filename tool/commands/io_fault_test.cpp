// Every file call of the platform layer failed in turn: a link, a merge and an
// extract are run once per call they make, with that call failing, and each
// run must end with its ExitCode, keep the earlier output and the inputs byte
// for byte and leave no temporary file. The fault-free run's recording shows
// the order that makes an output durable.
#include <algorithm>
#include <cstdio>
#include <map>
#include <new>
#include <vector>

#include "commands/exit_codes.h"
#include "io/platform.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using platform::Call;

using namespace afdtest::levels;

// The hook's state: the calls of the current run, and which one fails, by
// its own failure or by running out of memory there, thrown as the allocator
// throws it.
std::vector<Call> g_calls;
std::size_t g_fail_at = 0;  // 1-based; 0: none fails
bool g_out_of_memory = false;

bool record_call(Call call) {
  g_calls.push_back(call);
  if (g_calls.size() == g_fail_at && g_out_of_memory) throw std::bad_alloc();
  return g_calls.size() == g_fail_at;
}

const char* call_name(Call c) {
  static const char* const kNames[] = {"open input",   "input size", "read",       "check output",
                                       "create temp",  "write",      "read back",  "sync file",
                                       "close output", "rename",     "sync folder"};
  return kNames[static_cast<int>(c)];
}

bool is_input_call(Call c) {
  return c == Call::kOpenInput || c == Call::kInputSize || c == Call::kRead;
}

// A base with records far apart and one larger than the record buffer, so
// that the reads go through the window, the blocks and the piecewise copy.
std::size_t sweep_payload(int i) {
  return i == 5 ? 70000 : 3000 + 500 * static_cast<std::size_t>(i);
}
Bytes sweep_base() { return afdtest::filed_airports(24, sweep_payload, 3).build(); }

Bytes sweep_source() {
  AfdBuilder s;
  for (const int i : {17, 2, 9, 5}) {
    Facility f = Facility::airport("AP" + std::to_string(i), 7, 7, i == 2);
    f.extra.push_back({0x10010, Bytes(2000, 0xEE)});
    s.add(f);
  }
  return s.build();
}

// For the merge: an airport filed under a path the base lacks in part.
Bytes merge_source() {
  AfdBuilder source;
  source.add(Facility::airport("AP9", 7, 7));
  const int added = source.add(Facility::airport("NEW", 8, 8, true));
  source.add_list().file({{kRegion, "REGION"}, {kCity, "NEWTOWN"}}, {kAirport, "NEW", added});
  return source.build();
}

const Bytes kEarlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
  std::vector<Call> calls;
};

long lines_of(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

class IoFaultTest : public InScratchFolderTest {
 protected:
  void TearDown() override {
    platform::g_call_hook = nullptr;
    InScratchFolderTest::TearDown();
  }

  static RunResult run_with_fault(const std::vector<std::string>& args, std::size_t fail_at,
                                  bool out_of_memory = false) {
    g_calls.clear();
    g_fail_at = fail_at;
    g_out_of_memory = out_of_memory;
    platform::g_call_hook = record_call;
    const afdtest::InProcessRun r = afdtest::run_in_process(args);
    platform::g_call_hook = nullptr;
    return {r.rc, r.out, r.err, g_calls};
  }

  // Data written, file synced, closed, renamed, folder synced, in this order
  // and at the end of the run.
  static void expect_durable_order(const std::vector<Call>& calls) {
    const auto at = [&](Call c) {
      return static_cast<long>(std::find(calls.begin(), calls.end(), c) - calls.begin());
    };
    const auto last = [&](Call c) {
      const auto it = std::find(calls.rbegin(), calls.rend(), c);
      return it == calls.rend() ? -1L : static_cast<long>(calls.rend() - it) - 1;
    };
    for (const Call once :
         {Call::kSyncFile, Call::kCloseOutput, Call::kRename, Call::kSyncFolder}) {
      EXPECT_EQ(std::count(calls.begin(), calls.end(), once), 1) << call_name(once);
    }
    const long n = static_cast<long>(calls.size());
    ASSERT_GE(n, 5);
    EXPECT_LT(last(Call::kWrite), at(Call::kSyncFile));
    EXPECT_EQ(at(Call::kCloseOutput), at(Call::kSyncFile) + 1);
    EXPECT_EQ(at(Call::kRename), at(Call::kCloseOutput) + 1);
    EXPECT_EQ(at(Call::kSyncFolder), n - 1);
    EXPECT_EQ(at(Call::kRename), n - 2);
  }
};

struct SweepCase {
  const char* name;
  std::vector<std::string> args;
  std::string output;
  Bytes (*source)();
};

void PrintTo(const SweepCase& c, std::ostream* os) { *os << c.name; }

class FaultSweep : public IoFaultTest, public ::testing::WithParamInterface<SweepCase> {};

// Fails each call of the fault-free run in turn and checks every outcome;
// both sides must be reached: reads of the inputs and every output step.
TEST_P(FaultSweep, LosesNothingWhicheverCallFails) {
  const SweepCase& c = GetParam();
  const Bytes base = sweep_base();
  const Bytes source = c.source();
  put("base.bgl", base);
  put("source.bgl", source);
  put(c.output, kEarlier);
  const std::vector<std::string> before = dir.entries();

  const RunResult clean = run_with_fault(c.args, 0);
  EXPECT_EQ(clean.code, kExitOk) << clean.out;
  // A link that succeeds says what it replaced; nothing else speaks up.
  EXPECT_EQ(clean.err, c.args[0] == "-R" ? "quarnel: 4 of 4 airports of source.bgl replaced "
                                           "airports of base.bgl\n"
                                         : "");
  const Bytes result = afdtest::without_stamp(afdtest::read_file(dir.file(c.output)));
  expect_durable_order(clean.calls);

  std::map<int, int> outcomes;
  for (std::size_t k = 1; k <= clean.calls.size(); ++k) {
    put(c.output, kEarlier);
    const Call failing = clean.calls[k - 1];
    SCOPED_TRACE(::testing::Message()
                 << "call " << k << " of " << clean.calls.size() << ": " << call_name(failing));
    const RunResult r = run_with_fault(c.args, k);
    ASSERT_GE(r.calls.size(), k);
    ASSERT_EQ(r.calls[k - 1], failing) << "the runs must make the same calls";
    ++outcomes[r.code];
    if (is_input_call(failing)) {
      EXPECT_EQ(r.code, kExitCannotOpen) << r.out;
      const char* line = failing == Call::kRead ? "cannot read:\"" : "cannot open:\"";
      EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    } else {
      EXPECT_EQ(r.code, kExitCannotWrite) << r.out;
      const bool before_writing = failing == Call::kCheckOutput || failing == Call::kCreateTemp;
      EXPECT_TRUE(r.out.ends_with(before_writing ? "" : "cannot write:\"" + c.output + "\"\n"))
          << r.out;
    }
    EXPECT_EQ(r.out.rfind(afdtest::kBanner, 0), 0u);
    // One line on standard error where standard output gives no reason:
    // an input that could not be opened, an output refused before writing.
    const bool unexplained = failing == Call::kOpenInput || failing == Call::kInputSize ||
                             failing == Call::kCheckOutput || failing == Call::kCreateTemp;
    EXPECT_EQ(lines_of(r.err), unexplained ? 1 : 0) << r.err;
    if (unexplained) {
      EXPECT_EQ(r.err.rfind("quarnel: cannot ", 0), 0u) << r.err;
    }
    EXPECT_EQ(dir.entries(), before) << "a temporary or stray file was left";
    EXPECT_EQ(afdtest::read_file(dir.file("base.bgl")), base);
    EXPECT_EQ(afdtest::read_file(dir.file("source.bgl")), source);
    const Bytes now = afdtest::read_file(dir.file(c.output));
    // Past the rename nothing can be taken back: the whole new file stands.
    EXPECT_EQ(failing == Call::kSyncFolder ? afdtest::without_stamp(now) : now,
              failing == Call::kSyncFolder ? result : kEarlier);
    if (::testing::Test::HasFailure()) break;
  }
  std::fprintf(stderr,
               "[ figures  ] %s: %zu calls, %zu runs each with one failing:", c.args[0].c_str(),
               clean.calls.size(), clean.calls.size());
  for (const auto& [code, runs] : outcomes) std::fprintf(stderr, " ExitCode %d x%d", code, runs);
  std::fprintf(stderr, "\n");
  EXPECT_GT(outcomes.count(kExitCannotOpen), 0u);
  EXPECT_GT(outcomes.count(kExitCannotWrite), 0u);
  EXPECT_EQ(outcomes.count(kExitOk), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FaultSweep,
    ::testing::Values(
        SweepCase{"Link", {"-R", "base.bgl", "source.bgl", "out.bgl"}, "out.bgl", sweep_source},
        SweepCase{"Merge", {"-M", "base.bgl", "source.bgl", "out.bgl"}, "out.bgl", merge_source},
        SweepCase{"Extract",
                  {"-C", "base.bgl", "AP0", "AP5", "AP11", "AP23"},
                  "afdtmp.bgl",
                  sweep_source}),
    [](const auto& row) { return std::string(row.param.name); });

// A statistics run over an input that fails to read reports no figures, and
// says why; a listing shows what it could read, keeps its ExitCode, and says
// that the input was not read whole.
TEST_F(IoFaultTest, ReportsSayWhenTheirInputCouldNotBeReadWhole) {
  put("base.bgl", sweep_base());
  for (const std::string command : {"-S", "-L"}) {
    const RunResult clean = run_with_fault({command, "base.bgl"}, 0);
    ASSERT_EQ(clean.code, kExitOk);
    ASSERT_EQ(clean.err, "");
    for (std::size_t k = 1; k <= clean.calls.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << command << ", call " << k);
      const RunResult r = run_with_fault({command, "base.bgl"}, k);
      const bool read = clean.calls[k - 1] == Call::kRead;
      EXPECT_EQ(lines_of(r.err), 1) << r.err;
      const bool warned = r.err.rfind("quarnel: warning: cannot read base.bgl whole", 0) == 0;
      EXPECT_TRUE(r.err.rfind("quarnel: cannot ", 0) == 0 || (command == "-L" && read && warned))
          << r.err;
      if (command == "-S") {
        EXPECT_NE(r.code, kExitOk);
        EXPECT_EQ(r.out.find("containers:"), std::string::npos) << r.out;
      } else {
        EXPECT_EQ(r.code, warned ? kExitOk : read ? kExitBadHeader : kExitCannotOpen) << r.err;
      }
    }
  }
}

// An allocation may fail wherever a command stands. A failure at each file
// call in turn must end the run with ExitCode 1 and its line, the earlier
// output kept and no temporary file left: the stack unwinds through every
// part of every command.
TEST_F(IoFaultTest, AnAllocationThatFailsAnywhereEndsWithOneAndLosesNothing) {
  const Bytes base = sweep_base();
  put("base.bgl", base);
  put("source.bgl", sweep_source());
  const RunResult listed = run_with_fault({"-J", "base.bgl"}, 0);
  ASSERT_EQ(listed.code, kExitOk);
  put("doc.json", Bytes(listed.out.begin(), listed.out.end()));
  const std::vector<std::vector<std::string>> commands = {
      {"-B", "doc.json", "out.bgl"},
      {"-M", "base.bgl", "source.bgl", "out.bgl"},
      {"-R", "base.bgl", "source.bgl", "out.bgl"},
      {"-C", "base.bgl", "AP5", "AP7"},
      {"-J", "base.bgl"},
      {"-V", "base.bgl"}};
  int runs = 0;
  for (const auto& args : commands) {
    const std::string output = args[0] == "-C" ? "afdtmp.bgl" : "out.bgl";
    put(output, kEarlier);
    const std::vector<std::string> before = dir.entries();
    const RunResult clean = run_with_fault(args, 0);
    ASSERT_TRUE(clean.code == kExitOk || clean.code == kExitProblemsFound) << args[0];
    put(output, kEarlier);
    for (std::size_t k = 1; k <= clean.calls.size(); ++k) {
      SCOPED_TRACE(::testing::Message()
                   << args[0] << ", call " << k << ": " << call_name(clean.calls[k - 1]));
      const RunResult r = run_with_fault(args, k, true);
      ++runs;
      // -B checks the file it has written, for its warning: past the folder's
      // sync the build has succeeded, and running out of memory there only
      // costs the warning.
      const auto synced = clean.calls.begin() + static_cast<long>(k - 1);
      if (args[0] == "-B" && std::find(clean.calls.begin(), synced, Call::kSyncFolder) != synced) {
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_NE(afdtest::read_file(dir.file(output)), kEarlier);
        put(output, kEarlier);
        continue;
      }
      EXPECT_EQ(r.code, kExitOutOfMemory);
      EXPECT_EQ(r.err.rfind("quarnel: not enough memory for " + args[0] + ": ", 0), 0u) << r.err;
      EXPECT_EQ(dir.entries(), before) << "a temporary or stray file was left";
      // Past the rename nothing can be taken back: the whole new file stands.
      if (clean.calls[k - 1] != Call::kSyncFolder) {
        EXPECT_EQ(afdtest::read_file(dir.file(output)), kEarlier);
      }
      EXPECT_EQ(afdtest::read_file(dir.file("base.bgl")), base);
      if (::testing::Test::HasFailure()) return;
    }
  }
  std::fprintf(stderr, "[ figures  ] %d runs, each out of memory at one call\n", runs);
}

}  // namespace
}  // namespace quarnel::testing
