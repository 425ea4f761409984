// The link command: the base file with every airport that the source file also
// holds (by exact name) replaced by the source's record.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "commands/pairing.h"
#include "io/explain.h"
#include "output/file_parts.h"
#include "output/layout.h"
#include "output/record_copy.h"
#include "scan/source_walk.h"

namespace quarnel {

namespace {

void write_name_lists(RunState& rs, std::size_t first, uint64_t* total) {
  const CatalogueEntry* head = nullptr;
  uint64_t entry_bytes = 0;
  for (std::size_t i = first; i < rs.catalogue.count; ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    const uint64_t n = copy_name_list_object(write_target(rs), e);
    *total += n;
    if (is_list_head(e)) {
      head = &e;
      entry_bytes = 0;
    } else {
      entry_bytes += n;
    }
    const bool list_ends = i + 1 < rs.catalogue.count && is_list_head(rs.catalogue[i + 1]);
    if (list_ends) {
      if (head != nullptr) fit_name_list_head(rs.output, *head, entry_bytes);
      *total += write_end_mark(rs.output);
    }
  }
  if (head != nullptr) fit_name_list_head(rs.output, *head, entry_bytes);
}

int write_linked_file(RunState& rs, const uint8_t* base_image, int32_t trailer_word) {
  init_header(rs.header_image, std::time(nullptr));
  std::copy(base_image + kFhBounds, base_image + kFhBounds + kBoxSize,
            rs.header_image.begin() + kFhBounds);
  uint64_t total = 0;
  const std::size_t first_list =
      write_object_list(write_target(rs), &total, FacilityBoxes::kAsScanned);
  write_name_lists(rs, first_list, &total);
  write_file_end(write_target(rs), &total, trailer_word);
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

int run_link(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  int32_t trailer_word = kNoTrailerWord;
  int result = open_and_catalogue_base(rs, base_image, &trailer_word);
  LinkTally tally;
  if (result == kExitOk) {
    const int matches = mark_source_airports(rs, rs.second_input, Origin::kSecondInput, &tally);
    warn_damaged_inputs(rs);
    if (matches == 0) {
      result = kExitNoMatch;
    } else if (!rs.output.create(rs.output_path)) {
      result = kExitCannotWrite;
      rs.failures.note(FileFailure::kOutputRefused, rs.output_path);
    } else {
      result = write_linked_file(rs, base_image, trailer_word);
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
  if (result == kExitOk) explain_link(rs, tally);
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
