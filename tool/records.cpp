#include "records.h"

#include <cstring>

#include "afd_format.h"

namespace quarnel {

bool find_sub_record(const uint8_t* record, std::size_t len, uint32_t type, ByteSpan* payload) {
  std::size_t pos = kContSubRecords;
  while (pos <= len && len - pos >= kSubHeadSize) {
    const uint32_t sub_type = get_u32(record + pos);
    if (sub_type == kSubEnd) return false;
    const uint32_t sub_size = get_u32(record + pos + 4);
    const std::size_t body = pos + kSubHeadSize;
    if (sub_size > len - body) return false;
    if (sub_type == type) {
      payload->data = record + body;
      payload->size = sub_size;
      return true;
    }
    pos = body + sub_size;
  }
  return false;
}

std::string_view bounded_text(ByteSpan bytes) {
  if (bytes.size == 0) return {};
  const void* nul = std::memchr(bytes.data, 0, bytes.size);
  const std::size_t n =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - bytes.data)
                     : bytes.size;
  return {reinterpret_cast<const char*>(bytes.data), n};
}

std::string_view facility_name(const uint8_t* record, std::size_t len) {
  ByteSpan sub;
  switch (field_i32(record, len, kContSubtype)) {
    case kSubtypeAirport:
      if (find_sub_record(record, len, kSubAirportName, &sub)) return bounded_text(sub);
      break;
    case kSubtypeVor:
    case kSubtypeNdb:
      // A navaid sub-record too short to reach its name gives the empty name.
      if (find_sub_record(record, len, kSubNavaid, &sub) && sub.size > kNavaidName) {
        return bounded_text({sub.data + kNavaidName, sub.size - kNavaidName});
      }
      break;
    default:
      break;
  }
  return {};
}

bool has_ai_marker(const uint8_t* record, std::size_t len) {
  ByteSpan sub;
  return find_sub_record(record, len, kSubAiMarker, &sub);
}

}  // namespace quarnel
