// Coverage boxes: the latitude and longitude bounds of the airports a scan sees.
#include "format/coverage.h"

#include "format/afd_format.h"
#include "format/records.h"

namespace quarnel {

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

void store_box(uint8_t* dst, const CoverageBox& box) {
  put_i32(dst, box.lat_max);
  put_i32(dst + 4, box.lat_min);
  put_i32(dst + 8, box.lon_max);
  put_i32(dst + 12, box.lon_min);
}

CoverageBox load_box(const uint8_t* src) {
  return {get_i32(src), get_i32(src + 4), get_i32(src + 8), get_i32(src + 12)};
}

}  // namespace quarnel
