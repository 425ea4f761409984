// Coverage boxes: the latitude and longitude bounds of the airports a scan sees.
#include "format/coverage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "format/afd_format.h"
#include "format/records.h"

namespace quarnel {

int32_t longitude_margin(int32_t mean, int32_t margin) {
  const double degrees = (mean * 90.0) / (static_cast<double>(kLatitudeLimit) / 128.0);
  const double angle = std::fabs(degrees) * 3.141592653589793 * (1.0 / 180.0);
  double factor = portable_cos(angle);
  if (!(factor >= 0.1)) factor = 0.1;
  return static_cast<int32_t>(margin / factor);
}

namespace {

int32_t saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

CoverageBox widen_box_saturating(const CoverageBox& box, int32_t margin) {
  // The mean of the empty box, whose fields lie at the 32-bit limits, is 0
  // as in the wrapping sum: -1 / 2.
  const auto mean =
      static_cast<int32_t>((static_cast<int64_t>(box.lat_max) + box.lat_min) / 2);
  const int32_t lon_margin = longitude_margin(mean, margin);
  CoverageBox out;
  out.lat_max = std::min(saturated(int64_t{box.lat_max} + margin),
                         std::max(kLatitudeLimit, box.lat_max));
  out.lat_min = std::max(saturated(int64_t{box.lat_min} - margin),
                         std::min(-kLatitudeLimit, box.lat_min));
  out.lon_max = saturated(int64_t{box.lon_max} + lon_margin);
  out.lon_min = saturated(int64_t{box.lon_min} - lon_margin);
  return out;
}

void init_bounds(CoverageBox& box) { box = kEmptyBox; }

void log_bounds0(CoverageBox& box, int32_t latitude, int32_t longitude) {
  if (latitude > box.lat_max) box.lat_max = latitude;
  if (latitude < box.lat_min) box.lat_min = latitude;
  if (longitude > box.lon_max) box.lon_max = longitude;
  if (longitude < box.lon_min) box.lon_min = longitude;
}

int log_bounds(CoverageBox& box, const uint8_t* record, std::size_t len) {
  if (field_i32(record, len, kContSubtype) != kSubtypeAirport) return 0;
  int32_t latitude = 0;
  int32_t longitude = 0;
  if (!find_position(record, len, &latitude, &longitude)) return 0;
  log_bounds0(box, latitude, longitude);
  return 1;
}

void log_box(CoverageBox& box, const CoverageBox& other) {
  if (other.lat_max > box.lat_max) box.lat_max = other.lat_max;
  if (other.lat_min < box.lat_min) box.lat_min = other.lat_min;
  if (other.lon_max > box.lon_max) box.lon_max = other.lon_max;
  if (other.lon_min < box.lon_min) box.lon_min = other.lon_min;
}

void store_box(uint8_t* dst, const CoverageBox& box) {
  put_i32(dst, box.lat_max);
  put_i32(dst + 4, box.lat_min);
  put_i32(dst + 8, box.lon_max);
  put_i32(dst + 12, box.lon_min);
}

CoverageBox load_box(const uint8_t* src) {
  return {get_i32(src), get_i32(src + 4), get_i32(src + 8), get_i32(src + 12)};
}

namespace {

// The reduction and the two kernels below follow fdlibm's (Sun Microsystems,
// 1993: "Developed at SunPro, a Sun Microsystems, Inc. business. Permission to
// use, copy, modify, and distribute this software is freely granted, provided
// that this notice is preserved."), whose coefficients they use.

// pi/2 in three parts of 33 bits, each with its tail: n times a part is exact
// for the n below 2^20 that the reduction takes.
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kPio2Part1 = 1.57079632673412561417e+00;
constexpr double kPio2Part2 = 6.07710050630396597660e-11;
constexpr double kPio2Part3 = 2.02226624871116645580e-21;
constexpr double kPio2Tail3 = 8.47842766036889956997e-32;

// cos(x + tail) for |x| <= pi/4; tail is below one unit in x's last place.
double kernel_cos(double x, double tail) {
  constexpr double c1 = 4.16666666666666019037e-02, c2 = -1.38888888888741095749e-03,
                   c3 = 2.48015872894767294178e-05, c4 = -2.75573143513906633035e-07,
                   c5 = 2.08757232129817482790e-09, c6 = -1.13596475577881948265e-11;
  const double z = x * x;
  const double w = z * z;
  const double r = z * (c1 + z * (c2 + z * c3)) + w * w * (c4 + z * (c5 + z * c6));
  const double half_z = 0.5 * z;
  const double one_less = 1.0 - half_z;
  // The tail of 1 - z/2 goes back in, or the result loses its last bits.
  return one_less + (((1.0 - one_less) - half_z) + (z * r - x * tail));
}

// sin(x + tail) for |x| <= pi/4.
double kernel_sin(double x, double tail) {
  constexpr double s1 = -1.66666666666666324348e-01, s2 = 8.33333333332248946124e-03,
                   s3 = -1.98412698298579493134e-04, s4 = 2.75573137070700676789e-06,
                   s5 = -2.50507602534068634195e-08, s6 = 1.58969099521155010221e-10;
  const double z = x * x;
  const double w = z * z;
  const double r = s2 + z * (s3 + z * s4) + z * w * (s5 + z * s6);
  const double v = z * x;
  return x - ((z * (0.5 * tail - v * r) - tail) - v * s1);
}

}  // namespace

double portable_cos(double radians) {
  const double x = radians < 0 ? -radians : radians;
  // NaN fails the test too.
  if (!(x <= 1647099.0)) return std::numeric_limits<double>::quiet_NaN();
  // x = n * pi/2 + (head + tail), with |head + tail| <= pi/4 and the pieces of
  // pi/2 taken off one at a time so that no bit of the remainder is lost.
  const auto n = static_cast<int32_t>(x * kTwoOverPi + 0.5);
  const double fn = n;
  double head = x - fn * kPio2Part1;
  double product = fn * kPio2Part2;
  double rest = head - product;
  double tail = ((head - rest) - product);
  head = rest;
  product = fn * kPio2Part3;
  rest = head - product;
  tail += (head - rest) - product;
  tail -= fn * kPio2Tail3;
  head = rest + tail;
  tail = (rest - head) + tail;
  switch (n & 3) {
    case 0:
      return kernel_cos(head, tail);
    case 1:
      return -kernel_sin(head, tail);
    case 2:
      return -kernel_cos(head, tail);
    default:
      return kernel_sin(head, tail);
  }
}

}  // namespace quarnel
