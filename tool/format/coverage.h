// Coverage boxes: the rectangles of a file's airports (header bounds) and of
// its AI airports (trailer).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnel {

struct CoverageBox {
  int32_t lat_max;
  int32_t lat_min;
  int32_t lon_max;
  int32_t lon_min;

  bool operator==(const CoverageBox&) const = default;
};

// Maxima start at the smallest value and minima at the largest, so the first
// logged position sets all four fields.
constexpr CoverageBox kEmptyBox{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX};

// An airport's position as its record holds it; a latitude of INT32_MIN
// stands for none.
struct AirportPosition {
  int32_t latitude;
  int32_t longitude;
};
constexpr AirportPosition kNoPosition{INT32_MIN, 0};

// The raw latitude of the poles in bounds: a new file's bounds stop there.
constexpr int32_t kLatitudeLimit = 1280224000;  // 0x4C4EAB00

// The longitude margin that goes with a latitude margin at the box's mean
// latitude `mean` (raw): wider toward the poles, ten times at most.
int32_t longitude_margin(int32_t mean, int32_t margin);

// `box` widened by `margin` as -B and -M widen bounds: as a new file's are,
// but saturating at the 32-bit limits where those would wrap, and never
// clamped to the poles short of an airport that lies beyond them, so that
// the box always covers what it was made from.
CoverageBox widen_box_saturating(const CoverageBox& box, int32_t margin);

void init_bounds(CoverageBox& box);
void log_bounds0(CoverageBox& box, int32_t latitude, int32_t longitude);

// Grows the box by the first position of an airport record (head first, `len`
// bytes of it known). Returns 1 when a position was logged, else 0.
int log_bounds(CoverageBox& box, const uint8_t* record, std::size_t len);

// Grows `box` to cover `other` as well, field by field; an empty `other`
// changes nothing.
void log_box(CoverageBox& box, const CoverageBox& other);

void store_box(uint8_t* dst, const CoverageBox& box);

// The cosine of the box widening, built from IEEE double additions and
// multiplications only, so that every build of the tool (whatever its runtime's
// cos, whatever its processor's fcos) gets the same bits. Error below one unit
// in the last place for |radians| up to 2^20 * pi/2, far beyond the 169 that a
// 32-bit mean latitude reaches; larger or non-finite arguments give NaN.
double portable_cos(double radians);
CoverageBox load_box(const uint8_t* src);

}  // namespace quarnel
