// Bounded views into a record held in memory.
#include "format/records.h"

#include <cstring>

#include "format/afd_format.h"

namespace quarnel {

bool SubRecordWalk::next(uint32_t* type, ByteSpan* payload, std::size_t* at) {
  if (pos_ > len_ || len_ - pos_ < kSubHeadSize) {
    end_ = pos_ >= len_ ? SubWalkEnd::kOutOfBytes : SubWalkEnd::kHeadCut;
    return false;
  }
  const uint32_t sub_type = get_u32(record_ + pos_);
  if (sub_type == kSubEnd) {
    end_ = SubWalkEnd::kEndSubRecord;
    return false;
  }
  const uint32_t sub_size = get_u32(record_ + pos_ + 4);
  const std::size_t body = pos_ + kSubHeadSize;
  if (sub_size > len_ - body) {
    end_ = SubWalkEnd::kPastEnd;
    return false;
  }
  *type = sub_type;
  *payload = ByteSpan{record_ + body, sub_size};
  *at = pos_;
  pos_ = body + sub_size;
  return true;
}

bool find_sub_record(const uint8_t* record, std::size_t len, uint32_t type, ByteSpan* payload) {
  SubRecordWalk walk(record, len);
  uint32_t sub_type = 0;
  std::size_t at = 0;
  while (walk.next(&sub_type, payload, &at)) {
    if (sub_type == type) return true;
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

bool find_facility_name(const uint8_t* record, std::size_t len, std::string_view* name) {
  ByteSpan sub;
  *name = {};
  switch (field_i32(record, len, kContSubtype)) {
    case kSubtypeAirport:
      if (!find_sub_record(record, len, kSubAirportName, &sub)) return false;
      *name = bounded_text(sub);
      return true;
    case kSubtypeVor:
    case kSubtypeNdb:
      if (!find_sub_record(record, len, kSubNavaid, &sub)) return false;
      // A navaid sub-record too short to reach its name gives the empty name.
      if (sub.size > kNavaidName)
        *name = bounded_text({sub.data + kNavaidName, sub.size - kNavaidName});
      return true;
    default:
      return false;
  }
}

std::string_view facility_name(const uint8_t* record, std::size_t len) {
  std::string_view name;
  find_facility_name(record, len, &name);
  return name;
}

bool find_position(const uint8_t* record, std::size_t len, int32_t* latitude, int32_t* longitude) {
  ByteSpan position;
  // Only the first position counts, so a position too short to hold both
  // values gives none rather than sending us on to a later one.
  if (!find_sub_record(record, len, kSubPosition, &position)) return false;
  if (position.size < kPosLongitude + 4) return false;
  *latitude = get_i32(position.data + kPosLatitude);
  *longitude = get_i32(position.data + kPosLongitude);
  return true;
}

bool has_ai_marker(const uint8_t* record, std::size_t len) {
  ByteSpan sub;
  return find_sub_record(record, len, kSubAiMarker, &sub);
}

}  // namespace quarnel
