// Tests of the writer: bounds arithmetic, the trailer read back, and records
// copied. The headers and trailers of written files are compared byte for
// byte by the golden tests of the written files.
#include <cmath>
#include <utility>

#include "output/layout.h"
#include "output/record_copy.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

struct WidenCase {
  const char* what;
  CoverageBox box;
  int32_t margin;
  CoverageBox expected;
};

TEST(WidenBoxTest, MarginArithmetic) {
  const WidenCase cases[] = {
      {"worked example",
       {5600000, 5400000, 100000, -100000},
       5000,
       {5605000, 5395000, 107697, -107697}},
      {"empty box: mean 0, factor 1",
       kEmptyBox,
       5000,
       {-2147478648, 2147478647, -2147478648, 2147478647}},
      {"near the pole the factor stops at 0.1",
       {9500000, 9400000, 0, 0},
       5000,
       {9505000, 9395000, 50000, -50000}},
      {"latitudes clamp",
       {1280223000, -1280223000, 0, 0},
       5000,
       {1280224000, -1280224000, 5000, -5000}},
      {"latitudes near the 32-bit limit clamp too",
       {INT32_MAX - 10, INT32_MIN + 10, 0, 0},
       5000,
       {1280224000, -1280224000, 5000, -5000}},
      {"an AI box at -90.00002 degrees: 5000 / 0.1 is 50 000 in double",
       {-10001752, -10001752, 18000000, 18000000},
       5000,
       {-9996752, -10006752, 18050000, 17950000}},
      {"raw latitudes far beyond the pole: the mean wraps, its cosine is below 0.1",
       {2000000000, 2000000000, 0, 0},
       5000,
       {1280224000, 1999995000, 50000, -50000}},
      {"longitudes wrap",
       {0, 0, INT32_MAX - 1000, INT32_MIN + 1000},
       5000,
       {5000, -5000, INT32_MIN + 3999, INT32_MAX - 3999}},
  };
  for (const WidenCase& c : cases) EXPECT_EQ(widen_box(c.box, c.margin), c.expected) << c.what;
}

// The longitude margin follows the double arithmetic with the C library's
// cosine, which the native build used before it had a cosine of its own: the
// same bytes as before, on a spread of the whole range of mean latitudes.
TEST(WidenBoxTest, LongitudeMarginAsWithTheLibraryCosine) {
  for (int64_t mean = -(int64_t{1} << 30); mean < (int64_t{1} << 30); mean += 10007) {
    const auto lat = static_cast<int32_t>(mean);
    const double degrees = (lat * 90.0) / 10001750.0;
    double factor = std::cos(std::fabs(degrees) * 3.141592653589793 * (1.0 / 180.0));
    if (!(factor >= 0.1)) factor = 0.1;
    const auto expected = static_cast<int32_t>(5000 / factor);
    ASSERT_EQ(widen_box({lat, lat, 0, 0}, 5000).lon_max, expected) << "mean " << mean;
  }
}

// The bounds of -B and -M: as a new file's wherever those neither wrap nor
// leave an airport out, and always covering every position they were made
// from, up to the 32-bit limits themselves.
TEST(WidenBoxTest, TheSaturatingBoxCoversItsPositionsAndElseWidensAsANewFilesDoes) {
  const int32_t values[] = {
      INT32_MIN,           INT32_MIN + 3,   -2147478647,  // about the 32-bit limit
      -kLatitudeLimit - 1, -kLatitudeLimit, -5000000,      -1,       0, 1, 5000000, kLatitudeLimit,
      kLatitudeLimit + 1,  2147478648,      INT32_MAX - 3, INT32_MAX};
  int same = 0;
  for (const int32_t lat : values) {
    for (const int32_t lon : values) {
      const CoverageBox box{lat, lat, lon, lon};
      const CoverageBox wide = widen_box_saturating(box, kBoundsMargin);
      SCOPED_TRACE(::testing::Message() << "lat " << lat << ", lon " << lon);
      EXPECT_TRUE(wide.lat_max >= lat && wide.lat_min <= lat && wide.lon_max >= lon &&
                  wide.lon_min <= lon);
      const int64_t lat_margin = int64_t{lat} + kBoundsMargin;
      const int64_t lon_margin = int64_t{lon} + 50000;  // the widest longitude margin
      if (lat_margin <= kLatitudeLimit && -lat_margin <= kLatitudeLimit &&
          lon_margin <= INT32_MAX && int64_t{lon} - 50000 >= INT32_MIN &&
          lat > -kLatitudeLimit + kBoundsMargin) {
        EXPECT_EQ(wide, widen_box(box, kBoundsMargin));
        ++same;
      }
    }
  }
  EXPECT_GT(same, 20);
  // The empty box widens as before: no airport, no coverage.
  EXPECT_EQ(widen_box_saturating(kEmptyBox, kBoundsMargin), widen_box(kEmptyBox, kBoundsMargin));
  // An airport at 179.9999 degrees: the margin stops at the limit.
  const CoverageBox edge = widen_box_saturating({-1833654, -1833654, 2147482455, 2147482455}, 5000);
  EXPECT_EQ(edge.lon_max, INT32_MAX);
  EXPECT_EQ(edge.lon_min, 2147482455 - longitude_margin(-1833654, 5000));
  EXPECT_EQ(widen_box({-1833654, -1833654, 2147482455, 2147482455}, 5000).lon_max, -2147479627)
      << "the wrapping box that -C keeps writing";
}

class WriterTest : public ToolTest {};

TEST_F(WriterTest, ReadTrailerKeepsWhatAShortReadDidNotReach) {
  afdtest::Bytes bytes;
  for (uint32_t v : {0x11223344u, 7u, 6u}) afdtest::put32(bytes, v);
  InputFile in;
  ASSERT_TRUE(in.open(put("t.bin", bytes)));
  CoverageBox box = kEmptyBox;
  std::size_t got = 0;
  EXPECT_EQ(read_trailer(in, 0, box, &got), 0x11223344);
  EXPECT_EQ(got, 12u);
  EXPECT_EQ(box, (CoverageBox{7, 6, INT32_MIN, INT32_MAX}));
}

TEST_F(WriterTest, WriteObjectOfNothingKeepsTheEarlierOffset) {
  ASSERT_TRUE(rs.output.create(dir.file("out.bin")));
  CatalogueEntry e;
  e.output_offset = 1234;
  EXPECT_EQ(write_object(write_target(rs), e, 0), 0u);
  EXPECT_EQ(e.output_offset, 1234u);
  EXPECT_EQ(rs.output.size(), 0u);
}

// A record the scan saw is copied in one piece by the size the scan saw; an
// input whose record no longer says that size, or no longer holds all of it,
// changed since the scan and is reported instead of copied. A record whose size
// is not known is copied head first, whole however much larger than the buffer.
TEST_F(WriterTest, RecordsAreCopiedWholeOrReportedChanged) {
  struct Case {
    const char* what;
    std::size_t filler;        // the record's filler when it is scanned
    std::size_t filler_after;  // and when it is copied
    bool truncate;             // the file ends inside the record
    bool copied;
    bool size_known = true;
  };
  const Case cases[] = {{"unchanged", 30000, 30000, false, true},
                        {"grown", 30000, 30004, false, false},
                        {"shrunk", 30000, 29996, false, false},
                        {"cut short", 30000, 30000, true, false},
                        {"size not known", 150000, 150000, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rs.reset();
    const auto build = [](std::size_t n, afdtest::Layout* at) {
      afdtest::AfdBuilder b;
      afdtest::Facility f = afdtest::Facility::airport("BIG", 1, 2);
      afdtest::Bytes filler(n);
      for (std::size_t i = 0; i < n; ++i) filler[i] = static_cast<uint8_t>(i * 7);
      f.extra.push_back({0x10099, filler});
      b.add(f);
      b.add(afdtest::Facility::airport("NEXT", 3, 4));
      return std::pair{b.build(at), afdtest::facility_record(f)};
    };
    afdtest::Layout at;
    const auto [file, record] = build(c.filler, &at);
    scan(file, nullptr, ScanMode::kTakeAll);
    ASSERT_EQ(rs.catalogue.count, 2u);
    ASSERT_EQ(entry(0).record_size, record.size());
    if (!c.size_known) rs.catalogue[0].record_size = 0;
    afdtest::Bytes changed = build(c.filler_after, nullptr).first;
    if (c.truncate) changed.resize(at.facility_offsets[0] + record.size() / 2);
    afdtest::write_file(dir.file("scan.bgl"), changed);
    ASSERT_TRUE(rs.output.create(dir.file("out.bin")));
    const uint64_t n = copy_object(write_target(rs), rs.catalogue[0], rs.catalogue[0].origin);
    EXPECT_EQ(rs.first_input.unreadable() != 0, !c.copied);
    if (c.copied) {
      EXPECT_EQ(n, record.size());
      ASSERT_TRUE(rs.output.commit());
      EXPECT_EQ(afdtest::read_file(dir.file("out.bin")), record);
    }
    rs.output.abandon();
  }
}

}  // namespace
}  // namespace quarnel::testing
