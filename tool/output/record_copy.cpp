#include "output/record_copy.h"

#include "format/afd_format.h"
#include "scan/lookup.h"

namespace quarnel {

namespace {

InputFile& input_for(const WriteTarget& target, Origin from) {
  return from == Origin::kSecondInput ? target.second_input : target.first_input;
}

uint32_t offset_for(const CatalogueEntry& entry, Origin from) {
  return from == Origin::kSecondInput ? entry.source_offset : entry.base_offset;
}

bool names_input(Origin from) {
  return from == Origin::kFirstInput || from == Origin::kSecondInput;
}

}  // namespace

std::size_t read_object(const WriteTarget& target, const CatalogueEntry& entry, Origin from) {
  if (!names_input(from)) return 0;
  InputFile& in = input_for(target, from);
  const uint64_t offset = offset_for(entry, from);
  uint8_t* buf = target.object_buffer;
  const std::size_t head = in.read_at(offset, buf, kRecordHeadSize);
  if (head < kRecordHeadSize) return head;
  const int32_t size = get_i32(buf + kRecSize);
  std::size_t want = size > 0 ? static_cast<std::size_t>(size) : 0;
  // The rest of a record larger than the buffer is copied by copy_object.
  if (want > kObjectBufferSize - kRecordHeadSize) want = kObjectBufferSize - kRecordHeadSize;
  return head + in.read_at(offset + kRecordHeadSize, buf + kRecordHeadSize, want);
}

std::size_t write_object(const WriteTarget& target, CatalogueEntry& entry, std::size_t n) {
  if (n == 0) return 0;
  const uint64_t pos = target.output.tell();
  const std::size_t put = target.output.write(target.object_buffer, n);
  entry.output_offset = static_cast<uint32_t>(pos);
  return put;
}

std::size_t read_name_list_head(const WriteTarget& target, const CatalogueEntry& entry) {
  uint8_t* buf = target.object_buffer;
  std::size_t got = target.first_input.read_at(entry.base_offset, buf, kRecordHeadSize);
  if (got == kRecordHeadSize && get_u32(buf) == kTypeNameListHead) {
    got += target.first_input.read_at(entry.base_offset + kRecordHeadSize, buf + kRecordHeadSize,
                                      kNameListHeadSize - kRecordHeadSize);
  }
  return got;
}

std::size_t write_name_list_head(const WriteTarget& target) {
  return target.output.write(target.object_buffer, kNameListHeadSize);
}

std::size_t write_end_mark(OutputFile& out) {
  static constexpr uint8_t kEndMark[kRecordHeadSize] = {};
  return out.write(kEndMark, kRecordHeadSize);
}

uint32_t relinked_facility(Catalogue& catalogue, uint32_t facility_offset) {
  if (facility_offset == 0) return 0;
  const CatalogueEntry* facility = find_facility_by_offset(catalogue, facility_offset, false);
  return facility != nullptr ? facility->output_offset : 0;
}

namespace {

// Copies the record of `entry` head first: the head, and for a NameEntry with
// a `link` the facility link behind it, pass through here; the rest of the
// record goes from the input to the output unchanged.
uint64_t copy_in_parts(OutputFile& out, CatalogueEntry& entry, InputFile& in, uint64_t offset,
                       const uint32_t* link) {
  uint8_t front[kNeFacilityOffset + 4];
  const std::size_t got = in.read_at(offset, front, kRecordHeadSize);
  const int32_t size = got == kRecordHeadSize ? get_i32(front + kRecSize) : -1;
  if (size < 0) {
    in.note_unreadable();
    return 0;
  }
  const uint64_t whole = kRecordHeadSize + static_cast<uint64_t>(size);
  std::size_t head = kRecordHeadSize;
  if (link != nullptr && whole >= sizeof front) {
    head = sizeof front;
    if (in.read_at(offset + kRecordHeadSize, front + kRecordHeadSize, head - kRecordHeadSize) <
        head - kRecordHeadSize) {
      in.note_unreadable();
      return 0;
    }
    put_u32(front + kNeFacilityOffset, *link);
  }
  entry.output_offset = static_cast<uint32_t>(out.tell());
  const uint64_t written = out.write(front, head);
  const uint64_t copied = out.copy_from(in, offset + head, whole - head);
  // The scan saw the whole record; an input that no longer holds it changed
  // since, and the output is dropped.
  if (copied < whole - head) in.note_unreadable();
  return written + copied;
}

}  // namespace

uint64_t copy_record(OutputFile& out, CatalogueEntry& entry, InputFile& in, uint64_t offset,
                     uint32_t size_seen, const uint32_t* link) {
  if (size_seen < kRecordHeadSize || link != nullptr) {
    return copy_in_parts(out, entry, in, offset, link);
  }
  // A record whose size the scan saw goes in one piece; its head, checked
  // after the copy, must still say that size.
  uint8_t head[kRecordHeadSize] = {};
  entry.output_offset = static_cast<uint32_t>(out.tell());
  const uint64_t copied = out.copy_from(in, offset, size_seen, head);
  if (copied < size_seen || get_u32(head + kRecSize) != size_seen - kRecordHeadSize) {
    in.note_unreadable();
  }
  return copied;
}

uint64_t copy_object(const WriteTarget& target, CatalogueEntry& entry, Origin from) {
  InputFile& in = input_for(target, from);
  if (!names_input(from)) {
    in.note_unreadable();
    return 0;
  }
  const uint64_t offset = offset_for(entry, from);
  if (!is_name_entry(entry)) {
    // The size seen belongs to the input the entry's origin names.
    return copy_record(target.output, entry, in, offset,
                       entry.origin == from ? entry.record_size : 0, nullptr);
  }
  const uint32_t link = relinked_facility(target.catalogue, entry.facility_offset);
  return copy_record(target.output, entry, in, offset, 0, &link);
}

uint64_t copy_name_entry(const WriteTarget& target, CatalogueEntry& entry, Origin from,
                         uint32_t link) {
  InputFile& in = input_for(target, from);
  if (!names_input(from)) {
    in.note_unreadable();
    return 0;
  }
  return copy_record(target.output, entry, in, offset_for(entry, from), 0, &link);
}

uint64_t copy_name_list_object(const WriteTarget& target, CatalogueEntry& entry) {
  const uint64_t pos = target.output.tell();
  if (is_list_head(entry)) {
    read_name_list_head(target, entry);
    entry.output_offset = static_cast<uint32_t>(pos);
    return write_name_list_head(target);
  }
  if (is_name_entry(entry)) {
    return copy_object(target, entry, Origin::kFirstInput);
  }
  return 0;
}

}  // namespace quarnel
