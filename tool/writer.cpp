#include "writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "afd_format.h"
#include "catalogue.h"
#include "exit_codes.h"

namespace quarnel {

namespace {

int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrap_sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

InputFile& input_for(RunState& rs, int source) {
  return source == kSourceSecondInput ? rs.second_input : rs.first_input;
}

uint32_t offset_for(const CatalogueEntry& entry, int source) {
  return source == kSourceSecondInput ? entry.source_offset : entry.base_offset;
}

int resolve_source(const CatalogueEntry& entry, int source) {
  return source > 0 ? source : entry.origin & 0xF;
}

}  // namespace

CoverageBox widen_box(const CoverageBox& box, int32_t margin) {
  // The sum wraps like the 32-bit arithmetic it models; the empty box relies on it.
  const int32_t mean = wrap_add(box.lat_max, box.lat_min) / 2;
  const double degrees = (mean * 90.0) / (static_cast<double>(kLatitudeLimit) / 128.0);
  const double angle = std::fabs(degrees) * 3.141592653589793 * (1.0 / 180.0);
  double factor = portable_cos(angle);
  if (!(factor >= 0.1)) factor = 0.1;
  const auto lon_margin = static_cast<int32_t>(margin / factor);
  CoverageBox out;
  const int64_t lat_max = static_cast<int64_t>(box.lat_max) + margin;
  const int64_t lat_min = static_cast<int64_t>(box.lat_min) - margin;
  out.lat_max = static_cast<int32_t>(lat_max > kLatitudeLimit ? kLatitudeLimit : lat_max);
  out.lat_min = static_cast<int32_t>(lat_min < -kLatitudeLimit ? -kLatitudeLimit : lat_min);
  out.lon_max = wrap_add(box.lon_max, lon_margin);
  out.lon_min = wrap_sub(box.lon_min, lon_margin);
  return out;
}

int write_bounds(RunState& rs, int mode, int32_t margin) {
  if (mode == kBoundsHeader) {
    store_box(rs.header_image.data() + kFhBounds, widen_box(rs.airport_box, margin));
  } else if (mode == kBoundsTrailer) {
    set_header_u32(rs, kFhTrailerOffset, static_cast<uint32_t>(rs.output.tell()));
    write_trailer(rs, widen_box(rs.ai_airport_box, margin));
  }
  return 0;
}

std::size_t read_trailer(RunState& rs, InputFile& in, uint64_t offset, CoverageBox& box) {
  uint8_t bytes[kTrailerSize];
  const std::size_t got = in.read_at(offset, bytes, kTrailerSize);
  // A short read keeps whatever was not overwritten.
  if (got >= 4) rs.trailer_word = get_i32(bytes);
  int32_t* fields[] = {&box.lat_max, &box.lat_min, &box.lon_max, &box.lon_min};
  for (std::size_t i = 0; i < 4; ++i) {
    if (got >= kTrailerBox + 4 * (i + 1)) *fields[i] = get_i32(bytes + kTrailerBox + 4 * i);
  }
  return got;
}

std::size_t write_trailer(RunState& rs, const CoverageBox& box) {
  if (rs.trailer_word == -1) rs.trailer_word = static_cast<int32_t>(kDefaultTrailerWord);
  uint8_t bytes[kTrailerSize];
  put_i32(bytes, rs.trailer_word);
  store_box(bytes + kTrailerBox, box);
  return rs.output.write(bytes, kTrailerSize);
}

void init_header(RunState& rs, std::time_t now) {
  uint8_t* fh = rs.header_image.data();
  uint8_t* sh = fh + kFileHeaderSize;
  rs.header_image.fill(0);
  put_u16(fh + kFhVersionWord, 1);
  put_u32(fh + kFhMagic, kMagic);
  FileIdGenerator ids(static_cast<uint32_t>(now));
  for (std::size_t i = 0; i < 3; ++i) put_u16(sh + kShFileId + 2 * i, ids.next());
  if (const std::tm* local = std::localtime(&now)) {
    put_i32(sh + kShCreatedYear, local->tm_year + 1900);
    sh[kShCreatedDay] = static_cast<uint8_t>(local->tm_mday);
    sh[kShCreatedMonth] = static_cast<uint8_t>(local->tm_mon + 1);
  }
  put_u32(sh + kShCreatedTime, static_cast<uint32_t>(now));
  put_u32(sh + kShSectionTag, kSectionTag);
  put_i32(sh + kShFormatLevel, kMinFormatLevel);
}

void set_header_u32(RunState& rs, std::size_t offset, uint32_t value) {
  put_u32(rs.header_image.data() + offset, value);
}

std::size_t write_header_image(RunState& rs) {
  const uint8_t* image = rs.header_image.data();
  return rs.output.write(image, kFileHeaderSize) +
         rs.output.write(image + kFileHeaderSize, kSectionHeaderSize);
}

void rewrite_header(RunState& rs) {
  if (rs.output.seek(0)) rs.output.write(rs.header_image.data(), kHeaderImageSize);
}

std::size_t read_object(RunState& rs, const CatalogueEntry& entry, int source) {
  source = resolve_source(entry, source);
  if (source != kSourceFirstInput && source != kSourceSecondInput) return 0;
  InputFile& in = input_for(rs, source);
  const uint64_t offset = offset_for(entry, source);
  uint8_t* buf = rs.object_buffer.get();
  const std::size_t head = in.read_at(offset, buf, kRecordHeadSize);
  if (head < kRecordHeadSize) return head;
  const int32_t size = get_i32(buf + kRecSize);
  std::size_t want = size > 0 ? static_cast<std::size_t>(size) : 0;
  // The rest of a record larger than the buffer is copied by copy_object.
  if (want > kObjectBufferSize - kRecordHeadSize) want = kObjectBufferSize - kRecordHeadSize;
  return head + in.read_at(offset + kRecordHeadSize, buf + kRecordHeadSize, want);
}

std::size_t write_object(RunState& rs, CatalogueEntry& entry, std::size_t n) {
  if (n == 0) return 0;
  const uint64_t pos = rs.output.tell();
  const std::size_t put = rs.output.write(rs.object_buffer.get(), n);
  entry.output_offset = static_cast<uint32_t>(pos);
  return put;
}

std::size_t read_name_list_head(RunState& rs, const CatalogueEntry& entry) {
  uint8_t* buf = rs.object_buffer.get();
  std::size_t got = rs.first_input.read_at(entry.base_offset, buf, kRecordHeadSize);
  if (got == kRecordHeadSize && get_u32(buf) == kTypeNameListHead) {
    got += rs.first_input.read_at(entry.base_offset + kRecordHeadSize, buf + kRecordHeadSize,
                                  kNameListHeadSize - kRecordHeadSize);
  }
  return got;
}

std::size_t write_name_list_head(RunState& rs) {
  return rs.output.write(rs.object_buffer.get(), kNameListHeadSize);
}

std::size_t write_end_mark(RunState& rs) {
  static constexpr uint8_t kEndMark[kRecordHeadSize] = {};
  return rs.output.write(kEndMark, kRecordHeadSize);
}

uint32_t relinked_facility(RunState& rs, uint32_t facility_offset) {
  if (facility_offset == 0) return 0;
  const CatalogueEntry* facility = find_facility_by_offset(rs, facility_offset, false);
  return facility != nullptr ? facility->output_offset : 0;
}

uint64_t copy_object(RunState& rs, CatalogueEntry& entry, int source) {
  source = resolve_source(entry, source);
  InputFile& in = input_for(rs, source);
  const uint64_t offset = offset_for(entry, source);
  const bool known = source == kSourceFirstInput || source == kSourceSecondInput;
  // The size seen belongs to the input the entry's origin names.
  const uint32_t size_seen = (entry.origin & 0xF) == source ? entry.record_size : 0;
  if (known && size_seen >= kRecordHeadSize && entry.kind != static_cast<int32_t>(kTypeNameEntry)) {
    // A record whose size the scan saw goes in one piece; its head, checked
    // after the copy, must still say that size.
    uint8_t head[kRecordHeadSize] = {};
    entry.output_offset = static_cast<uint32_t>(rs.output.tell());
    const uint64_t copied = rs.output.copy_from(in, offset, size_seen, head);
    if (copied < size_seen || get_u32(head + kRecSize) != size_seen - kRecordHeadSize) {
      rs.unreadable_input = &in.path();
    }
    return copied;
  }
  // The head, and for a NameEntry the facility link behind it, pass through
  // here; the rest of the record goes from the input to the output unchanged.
  uint8_t front[kNeFacilityOffset + 4];
  const std::size_t got = known ? in.read_at(offset, front, kRecordHeadSize) : 0;
  const int32_t size = got == kRecordHeadSize ? get_i32(front + kRecSize) : -1;
  if (size < 0) {
    rs.unreadable_input = &in.path();
    return 0;
  }
  const uint64_t whole = kRecordHeadSize + static_cast<uint64_t>(size);
  std::size_t head = kRecordHeadSize;
  if (entry.kind == static_cast<int32_t>(kTypeNameEntry) && whole >= sizeof front) {
    head = sizeof front;
    if (in.read_at(offset + kRecordHeadSize, front + kRecordHeadSize, head - kRecordHeadSize) <
        head - kRecordHeadSize) {
      rs.unreadable_input = &in.path();
      return 0;
    }
    put_u32(front + kNeFacilityOffset, relinked_facility(rs, entry.facility_offset));
  }
  entry.output_offset = static_cast<uint32_t>(rs.output.tell());
  const uint64_t written = rs.output.write(front, head);
  const uint64_t copied = rs.output.copy_from(in, offset + head, whole - head);
  // The scan saw the whole record; an input that no longer holds it changed
  // since, and the output is dropped.
  if (copied < whole - head) rs.unreadable_input = &in.path();
  return written + copied;
}

uint64_t copy_name_list_object(RunState& rs, CatalogueEntry& entry) {
  const uint64_t pos = rs.output.tell();
  if (entry.kind == static_cast<int32_t>(kTypeNameListHead)) {
    read_name_list_head(rs, entry);
    entry.output_offset = static_cast<uint32_t>(pos);
    return write_name_list_head(rs);
  }
  if (entry.kind == static_cast<int32_t>(kTypeNameEntry)) {
    return copy_object(rs, entry, kSourceFirstInput);
  }
  return 0;
}

namespace {

const std::string* failed_input(const RunState& rs) {
  if (rs.unreadable_input != nullptr) return rs.unreadable_input;
  if (rs.first_input.read_failed()) return &rs.first_input.path();
  if (rs.second_input.read_failed()) return &rs.second_input.path();
  return nullptr;
}

bool report_failed_input(RunState& rs) {
  const std::string* input = failed_input(rs);
  if (input == nullptr) return false;
  rs.output.abandon();
  std::printf("cannot read:\"%s\"\n", input->c_str());
  return true;
}

}  // namespace

int unless_input_failed(RunState& rs, int result) {
  if (result == kExitOk || result == kExitCannotOpen) return result;
  return report_failed_input(rs) ? kExitCannotOpen : result;
}

int finish_output(RunState& rs) {
  // The scan saw complete records; an input that could not be read since, or
  // not read whole before, cannot be copied.
  if (report_failed_input(rs)) return kExitCannotOpen;
  rs.first_input.close();
  rs.second_input.close();
  if (rs.output.size() > UINT32_MAX || !rs.output.commit()) {
    rs.output.abandon();
    std::printf("cannot write:\"%s\"\n", rs.output_path.c_str());
    return kExitCannotWrite;
  }
  return kExitOk;
}

}  // namespace quarnel
