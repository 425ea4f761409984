// The pairing of source airports with the base airports they replace, by
// exact name, as the link, its preview and the merge see it.
#include "commands/pairing.h"

#include <string>
#include <unordered_set>

#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "format/afd_format.h"
#include "scan/lookup.h"
#include "scan/scan.h"
#include "scan/source_walk.h"

namespace quarnel {

void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit) {
  for_each_source_facility(source, rs.object_buffer.get(), [&](const SourceFacility& f) {
    if (f.subtype != kSubtypeAirport) return;
    visit(f.offset, f.size, f.name, find_airport_by_name(rs.catalogue, kSubtypeAirport, f.name));
  });
}

int mark_source_airports(RunState& rs, InputFile& source, Origin origin, LinkTally* tally) {
  int matches = 0;
  LinkTally counts;
  // Only the names the base lacks are kept: a link's sources are mostly replacements.
  std::unordered_set<std::string> new_names;
  // One index over all the leading facilities answers both lookups below; built
  // for the airports first, it would be built twice.
  if (tally != nullptr) index_facility_names(rs.catalogue);
  for_each_source_airport(
      rs, source, [&](uint64_t pos, uint64_t size, std::string_view name, CatalogueEntry* base) {
        ++counts.airports;
        if (base == nullptr) {
          // An airport of the name behind the base's first VOR or NDB is one
          // that no command may add a second of.
          if (tally != nullptr &&
              find_facility_by_name(rs.catalogue, kSubtypeAirport, name) == nullptr) {
            new_names.emplace(name);
          }
          return;
        }
        ++matches;
        if (base->origin != origin) ++counts.replaced;
        base->origin = origin;
        base->source_offset = static_cast<uint32_t>(pos);
        base->record_size = static_cast<uint32_t>(size);
      });
  counts.new_names = static_cast<int>(new_names.size());
  if (tally != nullptr) *tally = counts;
  return matches;
}

int open_and_catalogue_base(RunState& rs, uint8_t* base_image, int32_t* trailer_word) {
  *trailer_word = kNoTrailerWord;
  const int result = link_open_inputs(rs, base_image);
  if (result != kExitOk) return result;
  const uint32_t trailer_at = trailer_offset(base_image);
  if (trailer_at != 0) *trailer_word = read_trailer(rs.first_input, trailer_at, rs.ai_airport_box);
  build_catalogue(rs, base_image, nullptr, ScanMode::kTakeAll);
  return kExitOk;
}

}  // namespace quarnel
