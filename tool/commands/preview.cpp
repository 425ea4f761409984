// The preview command (-P): what a link of the same two files would do with
// each source airport, without writing anything.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/display_name.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "commands/pairing.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// A first pass marks each base airport with the last source airport of its
// name, as the link does; the second tells each source airport whether it is
// that one.
int print_preview(RunState& rs) {
  mark_source_airports(rs, rs.second_input, Origin::kSecondInput);
  warn_damaged_inputs(rs);
  int replacing = 0;
  int airports = 0;
  for_each_source_airport(
      rs, rs.second_input,
      [&](uint64_t pos, uint64_t, std::string_view name, CatalogueEntry* base) {
        ++airports;
        const std::string shown = display_name(name);
        if (base == nullptr) {
          std::printf("left out: %s\n", shown.c_str());
        } else if (base->source_offset != pos) {
          std::printf("left out: %s (the later airport of this name at 0x%06X replaces it)\n",
                      shown.c_str(), base->source_offset);
        } else {
          ++replacing;
          std::printf("replaced: %s\n", shown.c_str());
        }
      });
  const bool one = replacing == 1 || airports == 1;
  std::printf("%d of %d source %s %s\n", replacing, airports,
              airports == 1 ? "airport" : "airports",
              one ? "replaces a base airport" : "replace base airports");
  return replacing == 0 ? kExitNoMatch : kExitOk;
}

}  // namespace

int run_preview(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  int result = link_open_inputs(rs, base_image);
  if (result == kExitOk) {
    build_catalogue(rs, base_image, nullptr, ScanMode::kTakeAll);
    result = print_preview(rs);
  }
  result = end_command(rs, Command::kPreview, result);
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
