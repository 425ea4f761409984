#include "output/file_parts.h"

#include "format/afd_format.h"
#include "format/coverage.h"
#include "output/layout.h"
#include "output/record_copy.h"

namespace quarnel {

namespace {

// Reads back the 24 bytes of the head copied for `head`, lets `edit` change
// them and writes them again where it returns true.
template <typename Edit>
void edit_copied_head(RunState& rs, const CatalogueEntry& head, Edit edit) {
  OutputFile& out = rs.output;
  if (head.output_offset != 0 && out.seek(head.output_offset)) {
    uint8_t buf[kNameListHeadSize];
    if (out.read(buf, kRecordHeadSize) == kRecordHeadSize && get_u32(buf) == kTypeNameListHead &&
        out.read(buf + kRecordHeadSize, kNameListHeadSize - kRecordHeadSize) ==
            kNameListHeadSize - kRecordHeadSize &&
        edit(buf) && out.seek(head.output_offset)) {
      out.write(buf, kNameListHeadSize);
    }
  }
  out.seek_end();
}

}  // namespace

std::size_t write_object_list(RunState& rs, uint64_t* total, FacilityBoxes boxes) {
  *total += write_header_image(rs);
  set_object_list_offset(rs.header_image.data(), static_cast<uint32_t>(*total));
  Catalogue& catalogue = rs.catalogue;
  std::size_t i = 0;
  for (; i < catalogue.count; ++i) {
    CatalogueEntry& e = catalogue[i];
    if (is_list_head(e)) break;
    if (!is_selected(e)) continue;
    if (boxes == FacilityBoxes::kRegrown) {
      const std::size_t n = read_object(rs, e, e.origin);
      log_bounds(rs.airport_box, rs.object_buffer.get(), n);
      if (e.flags & kFlagAiAirport) log_bounds(rs.ai_airport_box, rs.object_buffer.get(), n);
    }
    *total += copy_object(rs, e, e.origin);
  }
  *total += write_end_mark(rs);
  set_name_list_offset(rs.header_image.data(), static_cast<uint32_t>(*total));
  return i;
}

void write_file_end(RunState& rs, uint64_t* total, int32_t trailer_word) {
  *total += write_end_mark(rs);
  *total += write_end_mark(rs);
  set_trailer_offset(rs.header_image.data(), static_cast<uint32_t>(*total));
  write_trailer(rs, rs.ai_airport_box, trailer_word);
  rewrite_header(rs);
}

void patch_name_list_head(RunState& rs, const CatalogueEntry& head, int32_t names, int64_t bytes) {
  edit_copied_head(rs, head, [&](uint8_t* buf) {
    put_i32(buf + kRecSize, static_cast<int32_t>(bytes));
    put_i32(buf + kNlhEntryCount, names);
    return true;
  });
}

void fit_name_list_head(RunState& rs, const CatalogueEntry& head, uint64_t entry_bytes) {
  edit_copied_head(rs, head, [&](uint8_t* buf) {
    const int32_t declared = get_i32(buf + kRecSize);
    const auto actual = static_cast<int32_t>(entry_bytes + kNameListOverhead);
    if (declared == 0 || declared == actual) return false;
    put_i32(buf + kRecSize, actual);
    return true;
  });
}

}  // namespace quarnel
