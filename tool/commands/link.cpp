// The link command: the base file with every airport that the source file also
// holds (by exact name) replaced by the source's record.
#include "commands/link.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/records.h"
#include "output/writer.h"
#include "scan/catalogue.h"

namespace quarnel {

namespace {

// How much of a source record is looked at first for its name. An airport's
// name comes early in its record, so the rest of a large record (runways,
// taxiways) is not read for it.
constexpr std::size_t kNamePeek = 1024;

// The source's own headers are not tested; only its object list is walked.
uint64_t source_object_list(InputFile& source) {
  uint8_t image[kHeaderImageSize] = {};
  source.read_at(0, image, kHeaderImageSize);
  return get_u32(image + kFileHeaderSize + kShObjectListOffset);
}

// Writes the facility records in Catalogue order, replaced airports from the
// source. Returns the index of the first name-list entry.
std::size_t write_facilities(RunState& rs, uint64_t* total) {
  std::size_t i = 0;
  for (; i < rs.catalogue_count; ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    if (e.kind == static_cast<int32_t>(kTypeNameListHead)) break;
    if (is_selected(e)) *total += copy_object(rs, e, 0);
  }
  return i;
}

// Sets a copied head's size to what was written for its list, where records
// that were not catalogued made the list shorter than the base's head says.
void correct_head_size(RunState& rs, const CatalogueEntry* head, uint64_t entry_bytes) {
  if (head == nullptr) return;
  uint8_t bytes[kRecordHeadSize];
  const uint64_t end = rs.output.tell();
  if (!rs.output.seek(head->output_offset) || rs.output.read(bytes, 8) != 8) return;
  const int32_t declared = get_i32(bytes + kRecSize);
  const auto actual = static_cast<int32_t>(entry_bytes + kNameListOverhead);
  if (declared != 0 && declared != actual && rs.output.seek(head->output_offset + kRecSize)) {
    uint8_t size[4];
    put_i32(size, actual);
    rs.output.write(size, 4);
  }
  rs.output.seek(end);
}

void write_name_lists(RunState& rs, std::size_t first, uint64_t* total) {
  const CatalogueEntry* head = nullptr;
  uint64_t entry_bytes = 0;
  for (std::size_t i = first; i < rs.catalogue_count; ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    const uint64_t n = copy_name_list_object(rs, e);
    *total += n;
    if (e.kind == static_cast<int32_t>(kTypeNameListHead)) {
      head = &e;
      entry_bytes = 0;
    } else {
      entry_bytes += n;
    }
    const bool list_ends = i + 1 < rs.catalogue_count &&
                           rs.catalogue[i + 1].kind == static_cast<int32_t>(kTypeNameListHead);
    if (list_ends) {
      correct_head_size(rs, head, entry_bytes);
      *total += write_end_mark(rs);
    }
  }
  correct_head_size(rs, head, entry_bytes);
}

int write_linked_file(RunState& rs, const uint8_t* base_image) {
  init_header(rs, std::time(nullptr));
  std::copy(base_image + kFhBounds, base_image + kFhBounds + kBoxSize,
            rs.header_image.begin() + kFhBounds);
  uint64_t total = write_header_image(rs);
  set_header_u32(rs, kFileHeaderSize + kShObjectListOffset, static_cast<uint32_t>(total));
  const std::size_t first_list = write_facilities(rs, &total);
  total += write_end_mark(rs);
  set_header_u32(rs, kFileHeaderSize + kShNameListOffset, static_cast<uint32_t>(total));
  write_name_lists(rs, first_list, &total);
  total += write_end_mark(rs);
  total += write_end_mark(rs);
  set_header_u32(rs, kFhTrailerOffset, static_cast<uint32_t>(total));
  write_trailer(rs, rs.ai_airport_box);
  rewrite_header(rs);
  return finish_output(rs);
}

}  // namespace

int link_open_inputs(RunState& rs, uint8_t* base_image) {
  const bool base_ok = rs.first_input.open(rs.first_input_path);
  const bool source_ok = rs.second_input.open(rs.second_input_path);
  if (!base_ok) std::printf("cannot open:\"%s\"\n", rs.first_input_path.c_str());
  if (!source_ok) std::printf("cannot open:\"%s\"\n", rs.second_input_path.c_str());
  if (!base_ok || !source_ok) return kExitCannotOpen;
  if (!read_headers(rs.first_input, base_image)) return kExitBadHeader;
  return kExitOk;
}

void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit) {
  uint64_t pos = source_object_list(source);
  uint8_t* scratch = rs.object_buffer.get();
  const uint64_t limit = source.size();
  std::size_t got = 0;
  // The same rules end this walk as the scan's: a head cut short, a negative
  // size, or a record reaching past the end of the file.
  while (pos <= UINT32_MAX && pos < limit && limit - pos >= kRecordHeadSize) {
    const uint8_t* head = source.view(pos, kRecordHeadSize, scratch, &got);
    if (got < kRecordHeadSize) break;
    const uint32_t type = get_u32(head + kRecType);
    const int32_t size = get_i32(head + kRecSize);
    if (type == kTypeEnd || size < 0) break;
    const uint64_t next = pos + kRecordHeadSize + static_cast<uint64_t>(size);
    if (next > limit) break;
    std::size_t n = static_cast<std::size_t>(size);
    if (n > kScanPayloadLimit) n = kScanPayloadLimit;
    const std::size_t whole = kRecordHeadSize + n;
    const uint8_t* rec = source.view(pos, std::min(whole, kNamePeek), scratch, &got);
    if (got < kRecordHeadSize) break;
    if (type == kTypeContainer && field_i32(rec, got, kContSubtype) == kSubtypeAirport) {
      // A name sub-record found whole in the first bytes is the one a walk of
      // the whole record finds; otherwise the whole record is looked at.
      ByteSpan sub;
      std::string_view name;
      if (find_sub_record(rec, got, kSubAirportName, &sub)) {
        name = bounded_text(sub);
      } else if (got < whole) {
        rec = source.view(pos, whole, scratch, &got);
        name = facility_name(rec, got);
      }
      visit(pos, next - pos, name, find_airport_by_name(rs, kSubtypeAirport, name));
    }
    pos = next;
  }
}

int mark_source_airports(RunState& rs, InputFile& source, uint16_t origin) {
  int matches = 0;
  for_each_source_airport(rs, source,
                          [&](uint64_t pos, uint64_t size, std::string_view, CatalogueEntry* base) {
                            if (base == nullptr) return;
                            ++matches;
                            base->origin = origin;
                            base->source_offset = static_cast<uint32_t>(pos);
                            base->record_size = static_cast<uint32_t>(size);
                          });
  return matches;
}

int run_link(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  int result = link_open_inputs(rs, base_image);
  if (result == kExitOk) {
    const uint32_t trailer_offset = get_u32(base_image + kFhTrailerOffset);
    if (trailer_offset != 0) read_trailer(rs, rs.first_input, trailer_offset, rs.ai_airport_box);
    build_catalogue(rs, base_image, nullptr, kScanTakeAll);
    if (mark_source_airports(rs, rs.second_input, kSourceSecondInput) == 0) {
      result = kExitNoMatch;
    } else if (!rs.output.create(rs.output_path)) {
      result = kExitCannotWrite;
    } else {
      result = write_linked_file(rs, base_image);
    }
  }
  result = unless_input_failed(rs, result);
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
