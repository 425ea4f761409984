// Truncation and mutation sweep, in-process under the test build's sanitizers:
// every command on every cut of the sample files, on header bytes flipped, and
// on every size and offset field set to -1, 0 and huge values. Whatever the
// bytes, a run ends with one of its command's ExitCodes, leaves its inputs as
// they were, and leaves no file behind but a complete output that reads back;
// the statistics' counts agree with each other; the JSON listing is one valid
// JSON document, or nothing and a message on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "afd_builder.h"
#include "in_process.h"
#include "scratch_dir.h"
#include "test_support.h"

namespace robustness {
namespace {

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::Layout;

const std::set<int> kAllowed = {0, 2, 3, 4, 5, 6, 7, 8, 10, 15};

// The scan's counts agree with each other and with what it catalogued.
void expect_consistent_report(const quarnel::RunState& rs, const std::string& what) {
  const quarnel::ScanStatistics& s = rs.catalogue.stats;
  EXPECT_EQ(static_cast<int>(rs.catalogue.count), s.containers + s.name_lists + s.names) << what;
  EXPECT_EQ(s.containers, s.airports + s.vors + s.ndbs) << what;
  EXPECT_LE(s.ai_airports, s.airports) << what;
}

struct Sweep {
  afdtest::ScratchDir dir;
  int runs = 0;
  int json_documents = 0;

  int run(const std::vector<std::string>& args, quarnel::RunState& rs) {
    // What the commands print is the golden tests' business; here it is noise.
    afdtest::CapturedStdout quiet;
    ++runs;
    return afdtest::run_in_process(rs, args);
  }

  // The JSON listing of `path`: a valid document and nothing on standard
  // error, or no output, a message and a failing ExitCode.
  void json_listing(const std::string& path, const std::string& what) {
    ++runs;
    const afdtest::InProcessRun r = afdtest::run_in_process({"-J", path});
    if (r.rc != 0) {
      ASSERT_EQ(r.out, "") << what << ": -J ended with " << r.rc;
      ASSERT_NE(r.err, "") << what << ": -J ended with " << r.rc;
      return;
    }
    ASSERT_EQ(r.err, "") << what;
    nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << what << ": not valid JSON\n" << r.out;
    ASSERT_TRUE(doc["facilities"].is_array()) << what;
    ASSERT_TRUE(doc["name_lists"].is_array()) << what;
    ++json_documents;
  }

  // A written file ends with the trailer its header points at, and the
  // statistics read it back without complaint.
  void expect_whole_output(const std::string& name, const std::string& what) {
    const Bytes written = dir.get(name);
    ASSERT_GE(written.size(), 168u + 20u) << what;
    EXPECT_EQ(afdtest::get32(written, 70), written.size() - 20) << what;
    quarnel::RunState rs;
    EXPECT_EQ(run({"-S", dir.file(name)}, rs), 0) << what;
    expect_consistent_report(rs, what);
  }

  // Runs every command on `first`, and those that take two files both ways
  // between `first` and `second`; checks each outcome.
  void all_commands(const Bytes& first, const Bytes& second, const std::string& what) {
    const std::string b = dir.put("a.bgl", first);
    const std::string s = dir.put("b.bgl", second);
    struct Command {
      std::vector<std::string> args;
      const char* output;  // relative to the folder; null for none
      std::set<int> codes;
    };
    const Command commands[] = {
        {{"-S", b}, nullptr, {0, 3}},
        {{"-L", b}, nullptr, kAllowed},
        {{"-V", b}, nullptr, kAllowed},
        {{"-P", b, s}, nullptr, kAllowed},
        {{"-C", b, "HAMBURG", "FRANKFURT MAIN", "BREMEN"}, "afdtmp.bgl", {0, 3, 4}},
        {{"-R", b, s, dir.file("out.bgl")}, "out.bgl", {0, 3, 5}},
        {{"-R", s, b, dir.file("out.bgl")}, "out.bgl", {0, 3, 5}},
        {{"-M", b, s, dir.file("out.bgl")}, "out.bgl", kAllowed},
        {{"-M", s, b, dir.file("out.bgl")}, "out.bgl", kAllowed},
    };
    const afdtest::InFolder here(dir.path());
    for (const Command& c : commands) {
      quarnel::RunState rs;
      const int rc = run(c.args, rs);
      const std::string ran = what + ": " + c.args[0] + " ended with " + std::to_string(rc);
      ASSERT_TRUE(c.codes.count(rc)) << ran;
      if (c.args[0] == "-S") expect_consistent_report(rs, ran);
      ASSERT_EQ(dir.get("a.bgl"), first) << ran << " and changed its input";
      ASSERT_EQ(dir.get("b.bgl"), second) << ran << " and changed its input";
      std::vector<std::string> expected = {"a.bgl", "b.bgl"};
      if (rc == 0 && c.output != nullptr) {
        expected.push_back(c.output);
        std::sort(expected.begin(), expected.end());
      }
      ASSERT_EQ(dir.entries(), expected) << ran;
      if (rc == 0 && c.output != nullptr) expect_whole_output(c.output, ran);
      if (c.output != nullptr) std::remove(dir.file(c.output).c_str());
    }
    json_listing(b, what);
  }

  // all_commands on every cut of `file` from `from` bytes on.
  void every_cut(const Bytes& file, const Bytes& other, const std::string& what,
                 std::size_t from = 0) {
    for (std::size_t n = from; n <= file.size(); ++n) {
      all_commands(Bytes(file.begin(), file.begin() + static_cast<long>(n)), other,
                   what + " cut at " + std::to_string(n));
      if (::testing::Test::HasFatalFailure()) return;
    }
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
  sweep.every_cut(base, source, "base");
  if (HasFatalFailure()) return;
  sweep.every_cut(source, base, "source");
  if (HasFatalFailure()) return;
  EXPECT_GT(sweep.runs, 4 * static_cast<int>(base.size()));
  EXPECT_GT(sweep.json_documents, static_cast<int>(base.size()));
}

// Names of every byte value, with and without their end, in facilities and
// name entries, beside a record of a kind the tool does not know, cut at every
// length: the JSON listing stays valid.
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
  b.add(Facility::raw(9, Bytes(6, 1)));
  b.add_list().entries = {{kRegion, every}, {kAirport, every, a}, {0x7FFFFFFF, "\x7F\x9D"}};
  b.list(0).entries.back().padding = {0xFF, 0xFE};
  const Bytes file = b.build();
  const Bytes source = afdtest::sample_source().build();
  sweep.every_cut(file, source, "hostile names", 168);
  if (HasFatalFailure()) return;
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
  const uint32_t end = static_cast<uint32_t>(base.size());
  const uint32_t values[] = {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFF0u, 0,       1,  7, 8, 168, 63999,
                             64000,       0x7FFFFFFFu, 0x80000000u, end - 4, end};
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
