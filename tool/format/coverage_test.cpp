// Tests of the coverage boxes: which positions count and how they widen a box.
#include "format/coverage.h"

#include <gtest/gtest.h>

#include "afd_builder.h"

namespace quarnel {
namespace {

using afdtest::Bytes;
using afdtest::Facility;

int log_record(CoverageBox& box, const Facility& f) {
  const Bytes rec = afdtest::facility_record(f);
  return log_bounds(box, rec.data(), rec.size());
}

TEST(CoverageTest, FirstPositionSetsAllFourFields) {
  CoverageBox box;
  init_bounds(box);
  EXPECT_EQ(box, kEmptyBox);
  EXPECT_EQ(log_record(box, Facility::airport("A", -300, 700)), 1);
  EXPECT_EQ(box, (CoverageBox{-300, -300, 700, 700}));
  log_bounds0(box, 500, -900);
  EXPECT_EQ(box, (CoverageBox{500, -300, 700, -900}));
}

TEST(CoverageTest, OnlyTheFirstPositionOfAnAirportCounts) {
  Facility f = Facility::airport("A", 10, 20);
  Bytes second;
  for (uint32_t v : {0u, 99u, 0u, 99u}) afdtest::put32(second, v);
  f.extra.push_back({0x10001, second});
  CoverageBox box = kEmptyBox;
  log_record(box, f);
  EXPECT_EQ(box, (CoverageBox{10, 10, 20, 20}));
}

TEST(CoverageTest, RecordsWithoutAUsablePositionLeaveTheBoxAlone) {
  Facility none = Facility::airport("A");
  none.position.reset();
  Facility vor = Facility::vor("V");
  vor.extra.push_back({0x10001, Bytes(16, 1)});
  Facility ended = Facility::airport("E", 5, 5);
  ended.payload_override = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // end first
  Facility shorty = Facility::airport("S");
  shorty.position.reset();
  shorty.extra.push_back({0x10001, Bytes(12, 1)});  // too short to hold a longitude
  for (const Facility& f : {none, vor, ended, shorty}) {
    CoverageBox box = kEmptyBox;
    EXPECT_EQ(log_record(box, f), 0);
    EXPECT_EQ(box, kEmptyBox);
  }
}

TEST(CoverageTest, BoxBytesRoundTrip) {
  uint8_t bytes[16];
  const CoverageBox box{1, -2, INT32_MAX, INT32_MIN};
  store_box(bytes, box);
  EXPECT_EQ(load_box(bytes), box);
  EXPECT_EQ(bytes[12], 0x00);
  EXPECT_EQ(bytes[15], 0x80);
}

}  // namespace
}  // namespace quarnel
