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
void edit_copied_head(OutputFile& out, const CatalogueEntry& head, Edit edit) {
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

std::size_t write_object_list(const WriteTarget& target, uint64_t* total, FacilityBoxes boxes) {
  *total += write_header_image(target.output, target.header_image);
  set_object_list_offset(target.header_image.data(), static_cast<uint32_t>(*total));
  Catalogue& catalogue = target.catalogue;
  std::size_t i = 0;
  for (; i < catalogue.count; ++i) {
    CatalogueEntry& e = catalogue[i];
    if (is_list_head(e)) break;
    if (!is_selected(e)) continue;
    if (boxes == FacilityBoxes::kRegrown) {
      const std::size_t n = read_object(target, e, e.origin);
      log_bounds(target.airport_box, target.object_buffer, n);
      if (e.flags & kFlagAiAirport) log_bounds(target.ai_airport_box, target.object_buffer, n);
    }
    *total += copy_object(target, e, e.origin);
  }
  *total += write_end_mark(target.output);
  set_name_list_offset(target.header_image.data(), static_cast<uint32_t>(*total));
  return i;
}

void write_file_end(const WriteTarget& target, uint64_t* total, int32_t trailer_word) {
  *total += write_end_mark(target.output);
  *total += write_end_mark(target.output);
  set_trailer_offset(target.header_image.data(), static_cast<uint32_t>(*total));
  write_trailer(target.output, target.ai_airport_box, trailer_word);
  rewrite_header(target.output, target.header_image);
}

void patch_name_list_head(OutputFile& out, const CatalogueEntry& head, int32_t names,
                          int64_t bytes) {
  edit_copied_head(out, head, [&](uint8_t* buf) {
    put_i32(buf + kRecSize, static_cast<int32_t>(bytes));
    put_i32(buf + kNlhEntryCount, names);
    return true;
  });
}

void fit_name_list_head(OutputFile& out, const CatalogueEntry& head, uint64_t entry_bytes) {
  edit_copied_head(out, head, [&](uint8_t* buf) {
    const int32_t declared = get_i32(buf + kRecSize);
    const auto actual = static_cast<int32_t>(entry_bytes + kNameListOverhead);
    if (declared == 0 || declared == actual) return false;
    put_i32(buf + kRecSize, actual);
    return true;
  });
}

}  // namespace quarnel
