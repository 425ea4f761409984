// Tests of the coverage boxes: which positions count and how they widen a box.
#include "format/coverage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "afd_builder.h"

namespace quarnel {
namespace {

using afdtest::Bytes;
using afdtest::Facility;

int log_record(CoverageBox& box, const Facility& f) {
  const Bytes rec = afdtest::facility_record(f);
  return log_bounds(box, rec.data(), rec.size());
}

// Only the first position of an airport counts.
TEST(CoverageTest, FirstPositionSetsAllFourFields) {
  Facility f = Facility::airport("A", -300, 700);
  Bytes second;
  for (uint32_t v : {0u, 99u, 0u, 99u}) afdtest::put32(second, v);
  f.extra.push_back({0x10001, second});
  CoverageBox box;
  init_bounds(box);
  EXPECT_EQ(box, kEmptyBox);
  EXPECT_EQ(log_record(box, f), 1);
  EXPECT_EQ(box, (CoverageBox{-300, -300, 700, 700}));
  log_bounds0(box, 500, -900);
  EXPECT_EQ(box, (CoverageBox{500, -300, 700, -900}));
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

// Distance in units of the last place between two finite doubles.
int64_t ulps_apart(double a, double b) {
  int64_t x;
  int64_t y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  if (x < 0) x = INT64_MIN - x;
  if (y < 0) y = INT64_MIN - y;
  return x > y ? x - y : y - x;
}

// Against the C library's cosine (correctly rounded on this platform), over the
// angles a 32-bit mean latitude gives, every 997th of them, and around every
// multiple of pi/2 in that range, where the reduction cancels most bits.
TEST(PortableCosTest, WithinOneUnitInTheLastPlaceOverTheReachableAngles) {
  int64_t worst = 0;
  std::size_t checked = 0;
  const auto check = [&](double angle) {
    const double got = portable_cos(angle);
    const int64_t apart = ulps_apart(got, std::cos(angle));
    EXPECT_LE(apart, 1) << "angle " << angle;
    EXPECT_EQ(portable_cos(-angle), got) << "angle " << angle;
    if (apart > worst) worst = apart;
    ++checked;
  };
  for (int64_t mean = -(int64_t{1} << 30); mean < (int64_t{1} << 30); mean += 997) {
    // The widening's angle of a mean latitude.
    const double degrees = (static_cast<double>(mean) * 90.0) / 10001750.0;
    check(std::fabs(degrees) * 3.141592653589793 * (1.0 / 180.0));
  }
  for (int n = 1; n <= 108; ++n) {
    double near = n * 1.5707963267948966;
    for (int step = 0; step < 64; ++step) {
      check(near);
      near = std::nextafter(near, 0.0);
    }
  }
  EXPECT_GT(checked, std::size_t{2000000});
  EXPECT_LE(worst, 1);
}

// Exact where the cosine is exact; not a number outside its range.
TEST(PortableCosTest, AtTheEdgesOfItsRange) {
  for (double x : {0.0, -0.0, 1e-300}) EXPECT_EQ(portable_cos(x), 1.0) << x;
  for (double x : {1647100.0, -1e300, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(portable_cos(x))) << x;
  }
  EXPECT_FALSE(std::isnan(portable_cos(1647099.0)));
  EXPECT_LE(ulps_apart(portable_cos(1647099.0), std::cos(1647099.0)), 1);
}

}  // namespace
}  // namespace quarnel
