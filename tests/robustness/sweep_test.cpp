// Truncation and mutation sweep, in-process under the test build's sanitizers:
// every command on every cut of the sample files, on header bytes flipped, and
// on every size and offset field set to -1, 0 and huge values. Whatever the
// bytes, a run ends with one of the tool's ExitCodes, leaves its inputs as they
// were, and leaves no file behind but a complete output; the JSON listing is
// one valid JSON document, or nothing and a message on standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "commands/commands.h"
#include "json_value.h"
#include "scratch_dir.h"

namespace robustness {
namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::Layout;

const std::set<int> kAllowed = {0, 2, 3, 4, 5, 6, 7, 8, 10, 15};

// Sends the tool's report lines to the null device for the length of a run.
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_;
};

// Sends a standard stream (1 or 2) into a file outside the folder under test
// for the length of a run, and gives back what was written.
class CapturedStream {
 public:
  explicit CapturedStream(int fd) : fd_(fd) {
    std::fflush(fd == STDOUT_FILENO ? stdout : stderr);
    char name[] = "/tmp/quarnel-sweep-XXXXXX";
    const int file = mkstemp(name);
    path_ = name;
    saved_ = dup(fd_);
    dup2(file, fd_);
    close(file);
  }
  ~CapturedStream() { text(); }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::string text() {
    if (saved_ < 0) return text_;
    std::fflush(fd_ == STDOUT_FILENO ? stdout : stderr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
    const Bytes bytes = afdtest::read_file(path_);
    text_.assign(bytes.begin(), bytes.end());
    std::remove(path_.c_str());
    return text_;
  }

 private:
  int fd_;
  int saved_ = -1;
  std::string path_;
  std::string text_;
};

struct Sweep {
  afdtest::ScratchDir dir;
  int runs = 0;
  int json_documents = 0;

  int run(const std::vector<std::string>& args) {
    quarnel::RunState rs;
    if (!rs.allocate()) return -1;
    std::vector<const char*> argv = {"quarnel"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    QuietStdout quiet;
    ++runs;
    return quarnel::run(rs, static_cast<int>(argv.size()) - 1, argv.data());
  }

  // The JSON listing of `path`: a valid document and nothing on standard
  // error, or no output, a message and a failing ExitCode.
  void json_listing(const std::string& path, const std::string& what) {
    quarnel::RunState rs;
    ASSERT_TRUE(rs.allocate());
    const char* argv[] = {"quarnel", "-J", path.c_str(), nullptr};
    CapturedStream out(STDOUT_FILENO);
    CapturedStream err(STDERR_FILENO);
    ++runs;
    const int rc = quarnel::run(rs, 3, argv);
    const std::string json = out.text();
    const std::string message = err.text();
    if (rc != 0) {
      ASSERT_EQ(json, "") << what << ": -J ended with " << rc;
      ASSERT_NE(message, "") << what << ": -J ended with " << rc;
      return;
    }
    ASSERT_EQ(message, "") << what;
    afdtest::Json doc;
    std::string error;
    ASSERT_TRUE(afdtest::parse_json(json, &doc, &error)) << what << ": " << error << "\n" << json;
    ASSERT_EQ(doc["facilities"].type, afdtest::Json::kArray) << what;
    ASSERT_EQ(doc["name_lists"].type, afdtest::Json::kArray) << what;
    ++json_documents;
  }

  // Runs statistics and extract on `first`, and the link and the merge both
  // ways between `first` and `second`; checks each outcome.
  void all_commands(const Bytes& first, const Bytes& second, const std::string& what) {
    const std::string b = dir.put("a.bgl", first);
    const std::string s = dir.put("b.bgl", second);
    struct Command {
      std::vector<std::string> args;
      const char* output;  // relative to the folder; null for none
    };
    const Command commands[] = {
        {{"-S", b}, nullptr},
        {{"-L", b}, nullptr},
        {{"-V", b}, nullptr},
        {{"-P", b, s}, nullptr},
        {{"-C", b, "HAMBURG", "FRANKFURT MAIN", "BREMEN"}, "afdtmp.bgl"},
        {{"-R", b, s, dir.file("out.bgl")}, "out.bgl"},
        {{"-R", s, b, dir.file("out.bgl")}, "out.bgl"},
        {{"-M", b, s, dir.file("out.bgl")}, "out.bgl"},
        {{"-M", s, b, dir.file("out.bgl")}, "out.bgl"},
    };
    const std::string old_cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.path());
    for (const Command& c : commands) {
      const int rc = run(c.args);
      ASSERT_TRUE(kAllowed.count(rc)) << what << ": " << c.args[0] << " ended with " << rc;
      ASSERT_EQ(dir.get("a.bgl"), first) << what << ": " << c.args[0] << " changed its input";
      ASSERT_EQ(dir.get("b.bgl"), second) << what << ": " << c.args[0];
      std::vector<std::string> expected = {"a.bgl", "b.bgl"};
      if (rc == 0 && c.output != nullptr) {
        expected.push_back(c.output);
        std::sort(expected.begin(), expected.end());
      }
      ASSERT_EQ(dir.entries(), expected) << what << ": " << c.args[0] << " ended with " << rc;
      if (c.output != nullptr) std::remove(dir.file(c.output).c_str());
    }
    json_listing(b, what);
    std::filesystem::current_path(old_cwd);
  }
};

using namespace afdtest::levels;

Bytes bundled(const char* name) {
  return afdtest::read_file(std::string(QUARNEL_SAMPLES_DIR) + "/" + name);
}

TEST(Sweep, EveryCutOfTheBundledSamples) {
  Sweep sweep;
  const Bytes base = bundled("base.bgl");
  const Bytes source = bundled("source.bgl");
  for (std::size_t n = 0; n <= base.size(); ++n) {
    sweep.all_commands(Bytes(base.begin(), base.begin() + static_cast<long>(n)), source,
                       "base cut at " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
  for (std::size_t n = 0; n <= source.size(); ++n) {
    sweep.all_commands(Bytes(source.begin(), source.begin() + static_cast<long>(n)), base,
                       "source cut at " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(sweep.runs, 4 * static_cast<int>(base.size()));
  EXPECT_GT(sweep.json_documents, static_cast<int>(base.size()));
}

// Names of every byte value, with and without their end, in facilities and
// name entries, cut at every length: the JSON listing stays valid.
TEST(Sweep, JsonOfHostileNamesAtEveryCut) {
  Sweep sweep;
  std::string every;
  for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
  AfdBuilder b;
  const int a = b.add(Facility::airport(every, -5, 5, true));
  b.add(Facility::vor(every));
  Facility unended = Facility::airport("X");
  unended.payload_override =
      Bytes{1, 0, 0, 0, 0, 0, 0, 0, 6, 0, 1, 0, 4, 0, 0, 0, '"', '\\', 0x80, 0x1F};
  b.add(unended);
  b.add_list().entries = {{kRegion, every}, {kAirport, every, a}, {0x7FFFFFFF, "\x7F\x9D"}};
  b.list(0).entries.back().padding = {0xFF, 0xFE};
  const Bytes file = b.build();
  const Bytes source = afdtest::sample_source().build();
  for (std::size_t n = 168; n <= file.size(); ++n) {
    sweep.all_commands(Bytes(file.begin(), file.begin() + static_cast<long>(n)), source,
                       "hostile names cut at " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(sweep.json_documents, static_cast<int>(file.size() - 168 + 1));
}

TEST(Sweep, HeaderBytesFlipped) {
  Sweep sweep;
  const Bytes base = afdtest::sample_base().build();
  const Bytes source = afdtest::sample_source().build();
  for (std::size_t at = 0; at < 168; ++at) {
    for (const uint8_t mask : {0x01, 0x80, 0xFF}) {
      Bytes damaged = base;
      damaged[at] ^= mask;
      sweep.all_commands(damaged, source,
                         "header byte " + std::to_string(at) + " ^ " + std::to_string(mask));
      if (HasFatalFailure()) return;
    }
  }
}

// Every field of the file that holds a size or an offset.
std::vector<std::pair<std::string, std::size_t>> size_and_offset_fields(const Layout& l,
                                                                        const Bytes& file) {
  std::vector<std::pair<std::string, std::size_t>> fields = {
      {"trailer offset", 70}, {"name list offset", 128 + 28}, {"object list offset", 128 + 36}};
  for (std::size_t i = 0; i < l.facility_offsets.size(); ++i) {
    const std::size_t rec = l.facility_offsets[i];
    fields.push_back({"facility " + std::to_string(i) + " size", rec + 4});
    // Each sub-record's size, walking the record as built.
    const std::size_t end = rec + 8 + afdtest::get32(file, rec + 4);
    for (std::size_t sub = rec + 16; sub + 8 <= end;) {
      fields.push_back(
          {"facility " + std::to_string(i) + " sub-record at " + std::to_string(sub) + " size",
           sub + 4});
      const uint32_t size = afdtest::get32(file, sub + 4);
      if (afdtest::get32(file, sub) == 0) break;
      sub += 8 + size;
    }
  }
  for (std::size_t i = 0; i < l.list_offsets.size(); ++i) {
    fields.push_back({"list " + std::to_string(i) + " size", l.list_offsets[i] + 4});
    fields.push_back({"list " + std::to_string(i) + " count", l.list_offsets[i] + 20});
    for (std::size_t j = 0; j < l.entry_offsets[i].size(); ++j) {
      const std::size_t e = l.entry_offsets[i][j];
      const std::string name = "list " + std::to_string(i) + " entry " + std::to_string(j);
      fields.push_back({name + " size", e + 4});
      fields.push_back({name + " facility link", e + 12});
    }
  }
  return fields;
}

TEST(Sweep, SizeAndOffsetFieldsSetToExtremes) {
  Sweep sweep;
  Layout layout;
  const Bytes base = afdtest::sample_base().build(&layout);
  const Bytes source = afdtest::sample_source().build();
  const uint32_t values[] = {
      0xFFFFFFFFu, 0,     1,           7,           8,
      63999,       64000, 0x7FFFFFFFu, 0x80000000u, static_cast<uint32_t>(base.size())};
  const auto fields = size_and_offset_fields(layout, base);
  ASSERT_GT(fields.size(), 40u);
  for (const auto& [name, at] : fields) {
    for (const uint32_t v : values) {
      Bytes damaged = base;
      afdtest::set32(damaged, at, v);
      sweep.all_commands(damaged, source, name + " = " + std::to_string(v));
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace robustness
