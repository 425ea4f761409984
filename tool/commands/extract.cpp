// The extract command: the named airports, with the name-list entries that file
// them and every ancestor of those entries, copied into a new file.
#include <cstdio>
#include <ctime>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/extract_name_list.h"
#include "commands/inputs.h"
#include "commands/typed_names.h"
#include "format/coverage.h"
#include "io/explain.h"
#include "output/file_parts.h"
#include "output/layout.h"
#include "output/record_copy.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

int write_extracted_file(RunState& rs) {
  // The boxes are the copied airports' own; the trailer word is the usual one.
  init_bounds(rs.airport_box);
  init_bounds(rs.ai_airport_box);
  uint64_t total = 0;
  std::size_t i = write_object_list(write_target(rs), &total, FacilityBoxes::kRegrown);
  write_bounds(write_target(rs), BoundsPlace::kHeader, kBoundsMargin);
  while (i < rs.catalogue.count) {
    const NameListResult r = write_name_list(rs, i);
    if (r.overflow) {
      rs.output.abandon();
      return kExitNestingOverflow;
    }
    patch_name_list_head(rs.output, rs.catalogue[i], r.names_written, r.bytes_written);
    i = static_cast<std::size_t>(r.next_index);
  }
  write_end_mark(rs.output);
  write_bounds(write_target(rs), BoundsPlace::kTrailer, kBoundsMargin);
  rewrite_header(rs.output, rs.header_image);
  return kExitOk;
}

}  // namespace

int run_extract(RunState& rs, const std::string& path, const NameTable& table) {
  uint8_t image[kHeaderImageSize];
  int result = open_first_input(rs, path, image);
  if (result == kExitOk) {
    build_catalogue(rs, image, &table, ScanMode::kSelectByName);
    select_file_forms(rs.catalogue, table);
    warn_damaged_inputs(rs);
    if (count_selected(rs.catalogue) == 0) {
      result = kExitNothingFound;
    } else {
      init_header(rs.header_image, std::time(nullptr));
      if (rs.output.create(rs.output_path)) {
        result = write_extracted_file(rs);
      } else {
        result = kExitCannotWrite;
        rs.failures.note(FileFailure::kOutputRefused, rs.output_path);
      }
    }
  }
  result = end_command(rs, Command::kExtract, result);
  // An input that failed to read has said so already.
  if (result == kExitNestingOverflow) {
    explain("a name list of %s nests deeper than the %d levels extract follows; nothing written",
            path.c_str(), kMaxDepth + 1);
  }
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
