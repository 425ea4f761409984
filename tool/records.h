// Bounded views into a record held in memory: sub-record lookup and names.
// Every walk stays inside the bytes that were actually read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quarnel {

struct ByteSpan {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
};

// The payload of the first sub-record of `type` in a Container whose first
// `len` bytes (head included) are at `record`. The walk ends, finding nothing,
// at an end sub-record, at a sub-record whose declared size reaches past the
// known bytes, or when too few bytes remain for a sub-record head.
bool find_sub_record(const uint8_t* record, std::size_t len, uint32_t type, ByteSpan* payload);

// A NUL-terminated text inside `bytes`. Without a NUL the text runs to the end
// of the bytes: what the file holds is shown, and nothing beyond it is read.
std::string_view bounded_text(ByteSpan bytes);

// The name of a facility record: the airport name sub-record, or the navaid's
// name at payload offset 48. Empty when there is none.
std::string_view facility_name(const uint8_t* record, std::size_t len);
bool has_ai_marker(const uint8_t* record, std::size_t len);

}  // namespace quarnel
