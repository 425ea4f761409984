// For golden tests of the real program: runs it in a scratch folder and
// collects its exit code and both output streams. QUARNEL_EXE names the
// program; QUARNEL_RUNNER, when set, is a command put in front of it (an
// emulator for the Windows build).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "afd_builder.h"
#include "test_support.h"

namespace clitest {

using afdtest::kBanner;

struct Result {
  int rc;
  std::string out;
  std::string err;
};

inline bool under_runner() {
  const char* runner = std::getenv("QUARNEL_RUNNER");
  return runner != nullptr && *runner != '\0';
}

inline std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The Windows build writes its lines in text mode.
inline std::string without_cr(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
  }
  return plain;
}

// Wine tells on standard error when it sets up a fresh prefix; those lines
// are the emulator's, not the program's.
inline std::string without_runner_notices(const std::string& text) {
  std::string kept;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    if (text.compare(start, 6, "wine: ") != 0) kept += text.substr(start, end - start);
    start = end;
  }
  return kept;
}

// Where a golden line holds: some print otherwise under the emulator.
enum class Where { kBoth, kPosix, kWindows };

// One row of a golden table: a run's arguments, what it prints on both
// streams and the ExitCode it ends with.
struct LineCase {
  LineCase(std::vector<std::string> a, std::string o, std::string e, int r,
           Where w = Where::kBoth, std::string p = "")
      : args(std::move(a)), out(std::move(o)), err(std::move(e)), rc(r), where(w),
        prefix(std::move(p)) {}
  std::vector<std::string> args;
  std::string out;  // after the banner
  std::string err;
  int rc;
  Where where;
  std::string prefix;  // a shell command before the run
};

// How a failing row is shown: its command line.
inline void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.prefix << "quarnel";
  for (const std::string& a : c.args) *os << ' ' << a;
}

// A name for a parameterised test's case: its place in the table and its
// arguments' letters and digits ("3_R_base_bgl").
inline std::string case_name(const std::vector<std::string>& args, std::size_t index) {
  std::string name = std::to_string(index);
  for (const std::string& a : args) {
    name += '_';
    for (char c : a) {
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) name += c;
      else if (name.back() != '_') name += '_';
    }
  }
  return name.substr(0, 60);
}

// The same for INSTANTIATE_TEST_SUITE_P over a table of LineCase.
struct CaseName {
  template <typename Info>
  std::string operator()(const Info& row) const {
    return case_name(row.param.args, row.index);
  }
};

class CliRun : public ::testing::Test {
 protected:
  // Runs the program with `args`; `prefix`, when given, is a shell command
  // put before the run (a limit, or a change of user).
  Result run(const std::vector<std::string>& args, const std::string& prefix = "") {
    const char* exe = std::getenv("QUARNEL_EXE");
    if (exe == nullptr) ADD_FAILURE() << "QUARNEL_EXE is not set";
    // Detached from any terminal, so the no-argument notice stays off the screen.
    std::string line = prefix + "setsid ";
    if (under_runner()) line += std::string(std::getenv("QUARNEL_RUNNER")) + ' ';
    line += quoted(exe != nullptr ? exe : "quarnel");
    for (const std::string& a : args) line += ' ' + quoted(a);
    line += " </dev/null";
    Result r;
    r.rc = afdtest::run_in(dir.path(), line, &r.out, &r.err);
    r.out = without_cr(r.out);
    r.err = without_cr(r.err);
    if (under_runner()) r.err = without_runner_notices(r.err);
    return r;
  }

  // Runs the row and compares all it printed; false when the row does not
  // hold on this system.
  bool expect_as_printed(const LineCase& c) {
    if (c.where == (under_runner() ? Where::kPosix : Where::kWindows)) return false;
    const Result r = run(c.args, c.prefix);
    EXPECT_EQ(r.out, kBanner + c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.rc, c.rc);
    return true;
  }

  // Runs a shell script in the scratch folder, in which $Q runs the program.
  Result sh(const std::string& script) {
    const char* exe = std::getenv("QUARNEL_EXE");
    if (exe == nullptr) ADD_FAILURE() << "QUARNEL_EXE is not set";
    std::string q = under_runner() ? std::string(std::getenv("QUARNEL_RUNNER")) + " " : "";
    q += exe != nullptr ? exe : "quarnel";
    Result r;
    r.rc = afdtest::run_in(dir.path(), "Q=" + clitest::quoted(q) + "; " + script, &r.out);
    std::string plain;
    for (char c : r.out) {
      if (c != '\r') plain += c;
    }
    r.out = plain;
    return r;
  }

  std::string put(const std::string& name, const afdtest::Bytes& bytes) {
    afdtest::write_file(dir.file(name), bytes);
    return name;
  }

  afdtest::ScratchDir dir;
};

}  // namespace clitest
