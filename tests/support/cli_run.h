// For golden tests of the real program: runs it in a scratch folder and
// collects its exit code and both output streams. QUARNEL_EXE names the
// program; QUARNEL_RUNNER, when set, is a command put in front of it (an
// emulator for the Windows build).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "afd_builder.h"
#include "test_support.h"

namespace clitest {

// The names every golden test uses: each test file opens with
// `using namespace clitest;`.
using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::kBanner;
using afdtest::NameRef;
using namespace afdtest::levels;

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

// The emulator, when there is one, followed by a space; else nothing.
inline std::string runner() {
  return under_runner() ? std::string(std::getenv("QUARNEL_RUNNER")) + ' ' : std::string();
}

inline std::string exe() {
  const char* exe = std::getenv("QUARNEL_EXE");
  if (exe == nullptr) ADD_FAILURE() << "QUARNEL_EXE is not set";
  return exe != nullptr ? exe : "quarnel";
}

// The Windows build writes its lines in text mode.
inline std::string without_cr(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
  }
  return plain;
}

// Lines on standard error that are not the program's: Wine's when it sets up
// a fresh prefix, and a coverage build's when it cannot write its profile
// (under a file-size limit, or as another user).
inline std::string without_foreign_notices(const std::string& text) {
  std::string kept;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    if (line.rfind("wine: ", 0) != 0 && line.rfind("LLVM Profile Error: ", 0) != 0) kept += line;
    start = end;
  }
  return kept;
}

// Where a golden line holds: some print otherwise under the emulator.
enum class Where { kBoth, kPosix, kWindows };

// A run's arguments: the command line as a user types it, split at spaces,
// or one by one where an argument is empty or holds a space.
struct Args : std::vector<std::string> {
  Args(const char* line) : Args(std::string(line)) {}
  Args(const std::string& line) {
    for (std::size_t at = 0, end; at < line.size(); at = end + 1) {
      end = std::min(line.find(' ', at), line.size());
      push_back(line.substr(at, end - at));
    }
  }
  Args(std::initializer_list<std::string> args) : vector(args) {}
  Args(std::vector<std::string> args) : vector(std::move(args)) {}
};

// One row of a golden table: a run's arguments, what it prints on both
// streams, the ExitCode it ends with, and the one file it may write; every
// other file in the folder stays as it was.
struct LineCase {
  Args args;
  std::string out;  // after the banner
  std::string err;
  int rc;
  std::string writes = "";  // the file the run writes, if any
  Where where = Where::kBoth;
  std::string prefix = "";  // a shell command before the run
  bool banner = true;       // false for the output meant for scripts: no banner before it
};
using Case = LineCase;
// How a failing row is shown: its command line.
inline void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.prefix << "quarnel";
  for (const std::string& a : c.args) *os << ' ' << a;
}

// A file of the facilities in order, of name lists that file them by their
// index, and with the header's bounds.
inline AfdBuilder afd(const std::vector<Facility>& facilities,
                      const std::vector<std::vector<NameRef>>& lists = {},
                      afdtest::Box bounds = {0, 0, 0, 0}) {
  AfdBuilder b;
  b.bounds = bounds;
  for (const Facility& f : facilities) b.add(f);
  for (const std::vector<NameRef>& entries : lists) b.add_list().entries = entries;
  return b;
}

// A row of the output meant for scripts, which no banner comes before.
inline LineCase for_scripts(LineCase c) {
  c.banner = false;
  return c;
}

// Lines that more than one table expects.
inline const std::string kHelpHint = "quarnel: \"quarnel --help\" lists the commands\n";
inline const std::string kNoFolder =
    "quarnel: cannot write nofolder/out.bgl: there is no folder nofolder; create it or name "
    "another\n";
inline std::string no_file(const std::string& name) {
  return "quarnel: cannot open " + name + ": no such file; check its name and folder\n";
}
inline std::string a_folder(const std::string& name) {
  return "quarnel: cannot write " + name + ": it is a folder; name a file to write\n";
}
inline std::string bad_magic(const std::string& file, const std::string& magic) {
  return "quarnel: " + file + " is not an AFD file: its magic number is " + magic +
         ", not 0x87654321\n";
}
// The warning for an input of which only a part could be read.
inline std::string warning(const std::string& file) {
  return "quarnel: warning: " + file + " has problems that \"quarnel -V " + file +
         "\" lists; only what could be read is used\n";
}

// A name for a parameterised test's case: the row's own name, or its place in
// the table and its arguments' letters and digits ("3_R_base_bgl").
struct CaseName {
  template <typename Info>
  std::string operator()(const Info& row) const {
    if constexpr (requires { std::string(row.param.name); }) return row.param.name;
    std::string name = std::to_string(row.index);
    for (const std::string& a : row.param.args) {
      name += '_';
      for (char c : a) {
        if (std::isalnum(static_cast<unsigned char>(c)) || name.back() != '_') {
          name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
      }
    }
    return name.substr(0, 60);
  }
};

class CliRun : public ::testing::Test {
 protected:
  // Runs the program with `args`; `prefix`, when given, is a shell command
  // put before the run (a limit, or a change of user).
  Result run(const std::vector<std::string>& args, const std::string& prefix = "") {
    // Detached from any terminal, so the no-argument notice stays off the screen.
    std::string line = prefix + "setsid " + runner() + quoted(exe());
    for (const std::string& a : args) line += ' ' + quoted(a);
    Result r;
    r.rc = afdtest::run_in(dir.path(), line + " </dev/null", &r.out, &r.err);
    r.out = without_cr(r.out);
    r.err = without_foreign_notices(without_cr(r.err));
    return r;
  }

  // Runs the row and compares all it printed and the folder after it; false
  // when the row does not hold on this system.
  bool expect_as_printed(const LineCase& c) {
    if (c.where == (under_runner() ? Where::kPosix : Where::kWindows)) return false;
    std::map<std::string, std::string> before = files();
    const Result r = run(c.args, c.prefix);
    EXPECT_EQ(r.out, (c.banner ? kBanner : std::string()) + c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.rc, c.rc);
    std::map<std::string, std::string> after = files();
    if (!c.writes.empty()) {
      EXPECT_TRUE(after.count(c.writes)) << c.writes << " is not there";
      // A file replaced keeps its permissions.
      if (before.count(c.writes) && after.count(c.writes) && !under_runner()) {
        EXPECT_EQ(after[c.writes].substr(0, 4), before[c.writes].substr(0, 4)) << c.writes;
      }
      before.erase(c.writes);
      after.erase(c.writes);
    }
    for (const auto& [name, was] : after) EXPECT_TRUE(before.count(name)) << name << " is new";
    for (const auto& [name, was] : before) {
      EXPECT_TRUE(after.count(name) && after[name] == was) << name << " changed";
    }
    return true;
  }

  // The same, and the test skipped where the row does not hold.
  void expect_or_skip(const LineCase& c) {
    if (!expect_as_printed(c)) GTEST_SKIP() << "prints otherwise on this system";
  }

  // Every file, folder and link in the scratch folder, by its path there: a
  // file's permissions (four octal digits) and bytes, a link's text.
  std::map<std::string, std::string> files() const {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
      std::string& entry = all[e.path().lexically_relative(dir.path()).string()];
      if (e.is_symlink()) {
        entry = "-> " + fs::read_symlink(e.path()).string();
      } else if (e.is_regular_file()) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o ", static_cast<unsigned>(e.status().permissions()));
        const afdtest::Bytes bytes = afdtest::read_file(e.path());
        entry = mode + std::string(bytes.begin(), bytes.end());
      } else {
        entry = "/";
      }
    }
    return all;
  }

  // Runs a shell script in the scratch folder, in which $Q runs the program.
  Result sh(const std::string& script) {
    Result r;
    r.rc = afdtest::run_in(dir.path(), "Q=" + quoted(runner() + exe()) + "; " + script, &r.out);
    r.out = without_cr(r.out);
    return r;
  }

  Bytes file(const std::string& name) const { return dir.get(name); }
  void put(const std::string& name, const afdtest::Bytes& bytes) { dir.put(name, bytes); }
  void put(const std::string& name, const std::string& text) {
    dir.put(name, afdtest::Bytes(text.begin(), text.end()));
  }

  afdtest::ScratchDir dir;
};

}  // namespace clitest
