#include "scan/source_walk.h"

#include <algorithm>

#include "format/afd_format.h"
#include "format/records.h"
#include "scan/record_walk.h"

namespace quarnel {

namespace {

// How much of a source record is looked at first for its name. An airport's
// name comes early in its record, so the rest of a large record (runways,
// taxiways) is not read for it.
constexpr std::size_t kNamePeek = 1024;

// Where the source's object list starts. Its headers are not tested; a
// trailer offset that points nowhere marks it damaged.
uint64_t source_object_list(InputFile& source) {
  uint8_t image[kHeaderImageSize] = {};
  source.read_at(0, image, kHeaderImageSize);
  if (trailer_points_nowhere(trailer_offset(image), source.size())) source.note_damage();
  return object_list_offset(image);
}

}  // namespace

void for_each_source_facility(InputFile& source, uint8_t* scratch,
                              const SourceFacilityVisit& visit, bool names) {
  RecordWalk walk(source, scratch, source_object_list(source), source.size());
  WalkRecord record;
  while (walk.next(&record)) {
    std::size_t got = 0;
    const std::size_t peek = names ? kNamePeek : kContSubtype + 4;
    const uint8_t* rec = walk.view(record, std::min(record.whole, peek), &got);
    if (rec == nullptr) break;
    if (record.type == kTypeContainer) {
      const int32_t subtype = field_i32(rec, got, kContSubtype);
      // A name sub-record found whole in the first bytes is the one a walk of
      // the whole record finds; otherwise the whole record is looked at.
      std::string_view name;
      if (names && !find_facility_name(rec, got, &name) && got < record.whole &&
          is_facility_subtype(subtype)) {
        rec = walk.view(record, record.whole, &got);
        name = rec != nullptr ? facility_name(rec, got) : std::string_view();
      }
      visit(SourceFacility{record.pos, record.next - record.pos, record.whole, subtype, name, rec,
                           got});
    }
    walk.step(record);
  }
  if (is_damage(walk.end())) source.note_damage();
}

int32_t read_trailer(InputFile& in, uint64_t offset, CoverageBox& box, std::size_t* got) {
  uint8_t bytes[kTrailerSize];
  const std::size_t n = in.read_at(offset, bytes, kTrailerSize);
  if (got != nullptr) *got = n;
  int32_t* fields[] = {&box.lat_max, &box.lat_min, &box.lon_max, &box.lon_min};
  for (std::size_t i = 0; i < 4; ++i) {
    if (n >= kTrailerBox + 4 * (i + 1)) *fields[i] = get_i32(bytes + kTrailerBox + 4 * i);
  }
  return n >= 4 ? get_i32(bytes) : kNoTrailerWord;
}

}  // namespace quarnel
