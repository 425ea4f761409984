// Bounded views into a record held in memory: sub-record lookup and names.
// Every walk stays inside the bytes that were actually read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/afd_format.h"

namespace quarnel {

struct ByteSpan {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
};

// How a walk over a Container's sub-records ended.
enum class SubWalkEnd {
  kEndSubRecord,  // a sub-record of type 0
  kOutOfBytes,    // the known bytes ran out exactly behind a sub-record
  kHeadCut,       // fewer bytes left than a sub-record head needs
  kPastEnd,       // a sub-record whose size reaches past the known bytes
};

// Steps through the sub-records of a Container whose first `len` bytes (head
// included) are at `record`, never beyond those bytes.
class SubRecordWalk {
 public:
  SubRecordWalk(const uint8_t* record, std::size_t len) : record_(record), len_(len) {}
  // The next sub-record, its type, payload and place in the record; false
  // when the walk has ended (see end()).
  bool next(uint32_t* type, ByteSpan* payload, std::size_t* at);
  SubWalkEnd end() const { return end_; }
  // Where the walk stands: the sub-record that ended it, once it has ended.
  std::size_t position() const { return pos_; }

 private:
  const uint8_t* record_;
  std::size_t len_;
  std::size_t pos_ = kContSubRecords;
  SubWalkEnd end_ = SubWalkEnd::kEndSubRecord;
};

// The payload of the first sub-record of `type`. The walk ends, finding
// nothing, wherever a SubRecordWalk ends.
bool find_sub_record(const uint8_t* record, std::size_t len, uint32_t type, ByteSpan* payload);

// A NUL-terminated text inside `bytes`. Without a NUL the text runs to the end
// of the bytes: what the file holds is shown, and nothing beyond it is read.
std::string_view bounded_text(ByteSpan bytes);

// The name of a facility record: the airport name sub-record, or the navaid's
// name at payload offset 48. Empty when there is none.
std::string_view facility_name(const uint8_t* record, std::size_t len);
// The same, and whether the record has a name sub-record at all.
bool find_facility_name(const uint8_t* record, std::size_t len, std::string_view* name);
// The first position sub-record's latitude and longitude; false without one
// (or with one too short to hold both).
bool find_position(const uint8_t* record, std::size_t len, int32_t* latitude, int32_t* longitude);
bool has_ai_marker(const uint8_t* record, std::size_t len);

}  // namespace quarnel
