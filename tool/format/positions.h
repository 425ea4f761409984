// Positions in degrees: how the listing shows the raw values of a position
// sub-record, and how a description's degrees become raw values again.
#pragma once

#include <cmath>
#include <cstdint>

namespace quarnel {

// The latitude's scale is the one the margin formula takes as 90 degrees; the
// longitude spans the whole 32-bit range.
inline double latitude_degrees(int32_t raw) { return raw * 90.0 / 10001750.0; }
inline double longitude_degrees(int32_t raw) { return raw * 360.0 / 4294967296.0; }

// The nearest raw values; +180 degrees of longitude, one past the range, is
// held as its largest value.
inline int32_t latitude_raw(double degrees) {
  return static_cast<int32_t>(std::lround(degrees * 10001750.0 / 90.0));
}
inline int32_t longitude_raw(double degrees) {
  const double raw = std::round(degrees * 4294967296.0 / 360.0);
  if (raw >= 2147483647.0) return INT32_MAX;
  if (raw <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(raw);
}

}  // namespace quarnel
