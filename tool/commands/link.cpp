// The link command: the base file with every airport that the source file also
// holds (by exact name) replaced by the source's record.
#include "commands/link.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "format/records.h"
#include "io/explain.h"
#include "output/file_parts.h"
#include "output/layout.h"
#include "output/record_copy.h"
#include "scan/lookup.h"
#include "scan/record_walk.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// How much of a source record is looked at first for its name. An airport's
// name comes early in its record, so the rest of a large record (runways,
// taxiways) is not read for it.
constexpr std::size_t kNamePeek = 1024;

// The source's own headers are not tested; only its object list is walked.
// Sets `damaged` when its trailer offset points nowhere.
uint64_t source_object_list(InputFile& source, bool* damaged) {
  uint8_t image[kHeaderImageSize] = {};
  source.read_at(0, image, kHeaderImageSize);
  if (trailer_points_nowhere(trailer_offset(image), source.size())) *damaged = true;
  return object_list_offset(image);
}

void write_name_lists(RunState& rs, std::size_t first, uint64_t* total) {
  const CatalogueEntry* head = nullptr;
  uint64_t entry_bytes = 0;
  for (std::size_t i = first; i < rs.catalogue.count; ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    const uint64_t n = copy_name_list_object(rs, e);
    *total += n;
    if (is_list_head(e)) {
      head = &e;
      entry_bytes = 0;
    } else {
      entry_bytes += n;
    }
    const bool list_ends = i + 1 < rs.catalogue.count && is_list_head(rs.catalogue[i + 1]);
    if (list_ends) {
      if (head != nullptr) fit_name_list_head(rs, *head, entry_bytes);
      *total += write_end_mark(rs);
    }
  }
  if (head != nullptr) fit_name_list_head(rs, *head, entry_bytes);
}

int write_linked_file(RunState& rs, const uint8_t* base_image) {
  init_header(rs, std::time(nullptr));
  std::copy(base_image + kFhBounds, base_image + kFhBounds + kBoxSize,
            rs.header_image.begin() + kFhBounds);
  uint64_t total = 0;
  const std::size_t first_list = write_object_list(rs, &total, FacilityBoxes::kAsScanned);
  write_name_lists(rs, first_list, &total);
  write_file_end(rs, &total);
  return kExitOk;
}

// A link that succeeds prints nothing of its own, so a swapped base and
// source would pass unnoticed: one line says what it did.
void explain_link(const RunState& rs, const LinkTally& t) {
  const std::string& base = rs.first_input_path;
  const std::string& source = rs.second_input_path;
  const int left_out = t.airports - t.replaced;
  std::string why;
  if (left_out > 0) {
    const std::string them = left_out == 1 ? "it" : "them";
    why = "; " + std::to_string(left_out) + " left out (";
    if (t.new_names >= left_out) {
      why += "\"quarnel -M\" adds " + them + ")";
    } else if (t.new_names > 0) {
      why += "\"quarnel -M\" adds " + std::to_string(t.new_names) + " of them)";
    } else {
      why += "\"quarnel -P " + base + " " + source + "\" lists " + them + ")";
    }
  }
  explain("%d of %d %s of %s replaced %s of %s%s", t.replaced, t.airports,
          t.airports == 1 ? "airport" : "airports", source.c_str(),
          t.replaced == 1 ? "an airport" : "airports", base.c_str(), why.c_str());
}

}  // namespace

void for_each_source_facility(RunState& rs, InputFile& source, const SourceFacilityVisit& visit,
                              bool names) {
  bool damaged = false;
  RecordWalk walk(source, rs.object_buffer.get(), source_object_list(source, &damaged),
                  source.size());
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
  if (damaged || is_damage(walk.end())) rs.second_input_damaged = true;
}

void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit) {
  for_each_source_facility(rs, source, [&](const SourceFacility& f) {
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

int open_and_catalogue_base(RunState& rs, uint8_t* base_image) {
  const int result = link_open_inputs(rs, base_image);
  if (result != kExitOk) return result;
  const uint32_t trailer_at = trailer_offset(base_image);
  if (trailer_at != 0) read_trailer(rs, rs.first_input, trailer_at, rs.ai_airport_box);
  build_catalogue(rs, base_image, nullptr, ScanMode::kTakeAll);
  return kExitOk;
}

int run_link(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  int result = open_and_catalogue_base(rs, base_image);
  bool refused = false;  // the output path, before anything was written
  LinkTally tally;
  if (result == kExitOk) {
    const int matches = mark_source_airports(rs, rs.second_input, Origin::kSecondInput, &tally);
    warn_damaged_inputs(rs);
    if (matches == 0) {
      result = kExitNoMatch;
    } else if (!rs.output.create(rs.output_path)) {
      result = kExitCannotWrite;
      refused = true;
    } else {
      result = write_linked_file(rs, base_image);
    }
  }
  result = end_command(rs, Command::kLink, result);
  // An input that failed to read has said so already.
  if (result == kExitNoMatch) {
    explain(
        "no airport of %s has the name of an airport in %s, so there is nothing to link; "
        "\"quarnel -P %s %s\" shows them",
        rs.second_input_path.c_str(), rs.first_input_path.c_str(), rs.first_input_path.c_str(),
        rs.second_input_path.c_str());
  }
  if (result == kExitCannotWrite && refused) explain_output_refused(rs.output_path, rs.output);
  if (result == kExitOk) explain_link(rs, tally);
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
