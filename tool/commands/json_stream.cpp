#include "commands/json_stream.h"

#include <algorithm>
#include <iterator>

#include "format/afd_format.h"

namespace quarnel {

void JsonStream::put_input_hex(InputFile& in, uint64_t at, uint64_t n) {
  put_hex_string(at, n, [&in](uint64_t from, uint8_t* dst, std::size_t k) {
    const std::size_t got = in.read_at(from, dst, k);
    std::fill(dst + got, dst + k, uint8_t{0});
  });
}

void FacilityBytes::keep(uint64_t at, const uint8_t* shown, std::size_t len, uint64_t size) {
  shown_.assign(shown, shown + len);
  at_ = at;
  size_ = size;
  beyond_at_ = 0;
  beyond_len_ = 0;
}

void FacilityBytes::read(InputFile& in, uint64_t pos, uint8_t* dst, std::size_t n) {
  std::size_t from_shown = 0;
  if (pos < shown_.size()) {
    from_shown = static_cast<std::size_t>(std::min<uint64_t>(n, shown_.size() - pos));
    std::copy_n(shown_.data() + pos, from_shown, dst);
  }
  pos += from_shown;
  dst += from_shown;
  n -= from_shown;
  if (n == 0) return;
  if (pos < beyond_at_ || pos + n > beyond_at_ + beyond_len_) {
    beyond_.resize(JsonStream::kBlock);
    beyond_at_ = pos;
    beyond_len_ = in.read_through(at_ + pos, beyond_.data(), beyond_.size());
  }
  const std::size_t at = static_cast<std::size_t>(pos - beyond_at_);
  const std::size_t got = std::min(n, beyond_len_ - std::min(beyond_len_, at));
  std::copy_n(beyond_.data() + at, got, dst);
  std::fill(dst + got, dst + n, uint8_t{0});
}

// The walk goes as SubRecordWalk's over the whole record, reading no more
// than the sub-records' heads: the word behind the subtype, the sub-records,
// and what follows them (the end sub-record, or whatever stopped the walk).
void put_raw_facility(JsonStream& out, InputFile& in, FacilityBytes& record) {
  auto read = [&](uint64_t at, uint8_t* dst, std::size_t n) { record.read(in, at, dst, n); };
  const uint64_t len = record.size();
  const uint64_t reserved_end = std::min<uint64_t>(len, kContSubRecords);
  const uint64_t reserved = std::min<uint64_t>(reserved_end, kContSubtype + 4);
  out.put(", \"reserved\": ");
  out.put_hex_string(reserved, reserved_end - reserved, read);
  out.put(", \"sub_records\": [");
  uint64_t pos = kContSubRecords;
  uint8_t head[kSubHeadSize] = {};
  for (bool first = true; pos <= len && len - pos >= kSubHeadSize; first = false) {
    read(pos, head, sizeof head);
    const uint64_t size = get_u32(head + 4);
    if (get_u32(head) == kSubEnd || size > len - pos - kSubHeadSize) break;
    if (!first) out.put(", ");
    out.put_hex_string(pos, kSubHeadSize + size, read);
    pos += kSubHeadSize + size;
  }
  out.put("]");
  const uint64_t stop = std::min(pos, len);
  uint8_t end[kSubHeadSize] = {1};
  if (len - stop == kSubHeadSize) read(stop, end, sizeof end);
  static constexpr uint8_t kStandardEnd[kSubHeadSize] = {};
  if (!std::equal(std::begin(end), std::end(end), std::begin(kStandardEnd))) {
    out.put(", \"end\": ");
    out.put_hex_string(stop, len - stop, read);
  }
}

}  // namespace quarnel
