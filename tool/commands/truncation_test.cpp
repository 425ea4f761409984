// Damaged files, run through every command in-process: whatever the bytes, a
// command ends with one of its exit codes, reads nothing outside its input
// (the sanitizers watch), writes either a whole file or none, and its report
// stays consistent with itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "commands/commands.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

AfdBuilder rich_file() {
  AfdBuilder b;
  b.trailer_word = 77;
  b.trailer_box = {9, 8, 7, 6};
  const int a = b.add(Facility::airport("ALPHA", 100, 100, true));
  const int c = b.add(Facility::airport("CHARLIE", -5, 5));
  b.add(Facility::raw(9, Bytes(6, 1)));
  const int v = b.add(Facility::vor("VICTOR"));
  const int n = b.add(Facility::ndb("NOVEMBER"));
  b.add_list().entries = {NameRef(kRegion, "R"), NameRef(kCity, "CITY"),
                          NameRef(kAirport, "ALPHA", a), NameRef(kVor, "VICTOR", v)};
  b.add_list().entries = {NameRef(kCity, "TOWN"), NameRef(kAirport, "CHARLIE", c),
                          NameRef(kNdb, "NOVEMBER", n)};
  return b;
}

struct Outcome {
  int rc;
  ScanStatistics stats;
  std::size_t catalogue_count;
};

Outcome run_command(const std::vector<std::string>& args) {
  static RunState rs;
  static const bool allocated = rs.allocate();
  EXPECT_TRUE(allocated);
  rs.reset();
  std::vector<const char*> argv{"quarnel"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  int rc;
  {
    // What the commands print is checked by the golden tests; here it is noise.
    afdtest::SilencedStdout quiet;
    rc = run(rs, static_cast<int>(argv.size()), argv.data());
  }
  return {rc, rs.catalogue.stats, rs.catalogue.count};
}

void expect_consistent_report(const Outcome& o) {
  const ScanStatistics& s = o.stats;
  EXPECT_EQ(static_cast<int>(o.catalogue_count), s.containers + s.name_lists + s.names);
  EXPECT_EQ(s.containers, s.airports + s.vors + s.ndbs);
  EXPECT_LE(s.ai_airports, s.airports);
}

class DamagedFileTest : public InScratchFolderTest {
 protected:
  // Runs statistics, extract and link on `bytes` (as base and as source) and
  // checks each outcome.
  void run_all(const Bytes& bytes, const std::string& what) {
    const std::string damaged = put("damaged.bgl", bytes);
    const std::string good = put("good.bgl", good_bytes);
    const std::string out = dir.file("out.bgl");
    const std::set<int> stats_codes{0, 3}, extract_codes{0, 3, 4}, link_codes{0, 3, 5};

    const Outcome s = run_command({"-S", damaged});
    EXPECT_TRUE(stats_codes.count(s.rc)) << what << " rc " << s.rc;
    expect_consistent_report(s);

    const Outcome e = run_command({"-C", damaged, "ALPHA", "CHARLIE"});
    EXPECT_TRUE(extract_codes.count(e.rc)) << what << " rc " << e.rc;
    expect_only_whole_output(dir.file("afdtmp.bgl"), e.rc, what);

    for (const auto& [base, source] : {std::pair{damaged, good}, std::pair{good, damaged}}) {
      const Outcome l = run_command({"-R", base, source, out});
      EXPECT_TRUE(link_codes.count(l.rc)) << what << " rc " << l.rc;
      expect_only_whole_output(out, l.rc, what);
    }
    EXPECT_EQ(afdtest::read_file(damaged), bytes) << what;
  }

  // A written file ends with a trailer that its header points at, and the
  // tool reads it back without complaint.
  void expect_only_whole_output(const std::string& path, int rc, const std::string& what) {
    const std::size_t files = dir.entries().size();
    if (rc != 0) {
      EXPECT_EQ(files, 2u) << what << ": no output after a failure";
      return;
    }
    const Bytes written = afdtest::read_file(path);
    ASSERT_GE(written.size(), 168u + 20u) << what;
    EXPECT_EQ(afdtest::get32(written, 70), written.size() - 20) << what;
    const Outcome back = run_command({"-S", path});
    EXPECT_EQ(back.rc, 0) << what;
    expect_consistent_report(back);
    std::remove(path.c_str());
  }

  Bytes good_bytes = rich_file().build();
};

TEST_F(DamagedFileTest, EveryCutLength) {
  const Bytes whole = rich_file().build();
  for (std::size_t len = 0; len <= whole.size(); ++len) {
    run_all(Bytes(whole.begin(), whole.begin() + static_cast<long>(len)),
            afdtest::numbered("cut at ", static_cast<long>(len)));
    if (HasFailure()) break;
  }
}

TEST_F(DamagedFileTest, HostileSizeFields) {
  afdtest::Layout at;
  const Bytes whole = rich_file().build(&at);
  std::vector<std::size_t> size_fields;
  for (uint32_t off : at.facility_offsets) size_fields.push_back(off + 4);
  for (std::size_t l = 0; l < at.list_offsets.size(); ++l) {
    size_fields.push_back(at.list_offsets[l] + 4);
    for (uint32_t off : at.entry_offsets[l]) size_fields.push_back(off + 4);
  }
  for (std::size_t field : size_fields) {
    for (uint32_t value : {0xFFFFFFFFu, 0u, 1u, 7u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF8u}) {
      Bytes damaged = whole;
      afdtest::set32(damaged, field, value);
      run_all(damaged, afdtest::numbered("size at ", static_cast<long>(field)) +
                           afdtest::numbered(" = ", static_cast<long>(value)));
    }
    if (HasFailure()) break;
  }
}

TEST_F(DamagedFileTest, HostileOffsetsAndLinks) {
  afdtest::Layout at;
  const Bytes whole = rich_file().build(&at);
  const std::size_t offset_fields[] = {70, 128 + 28, 128 + 36, at.entry_offsets[0][2] + 12};
  for (std::size_t field : offset_fields) {
    for (uint32_t value : {0u, 1u, 168u, 0xFFFFFFF0u, static_cast<uint32_t>(whole.size() - 4)}) {
      Bytes damaged = whole;
      afdtest::set32(damaged, field, value);
      run_all(damaged, afdtest::numbered("offset at ", static_cast<long>(field)) +
                           afdtest::numbered(" = ", static_cast<long>(value)));
    }
  }
}

}  // namespace
}  // namespace quarnel::testing
