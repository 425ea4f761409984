// The arguments of -C: the file, and the names of the airports to take.
#include <string>
#include <string_view>

#include "commands/command_end.h"
#include "commands/command_table.h"
#include "commands/exit_codes.h"
#include "commands/typed_names.h"
#include "io/explain.h"
#include "scan/catalogue.h"

namespace quarnel {

namespace {

// One line for each name that selected no airport of the scanned file, as
// typed or in the file's code page (typed_names.h).
void explain_unmatched_names(const RunState& rs, const char* path, int argc,
                             const char* const* argv) {
  for (int k = 3; k < argc; ++k) {
    const std::string_view name = argv[k];
    bool repeated = false;
    for (int j = 3; j < k; ++j) repeated = repeated || name == argv[j];
    if (repeated || typed_name_selects(rs.catalogue, name)) continue;
    explain("no airport named \"%s\" in %s", argv[k], path);
  }
}

}  // namespace

int extract_command(RunState& rs, int argc, const char* const* argv) {
  const int names = argc - 3;
  // Names beyond the table's 64 slots would be dropped without a word; a
  // command that cannot do all it was asked is refused instead.
  if (names > static_cast<int>(kNameTableSlots)) {
    std::printf("too many names: %d (at most %d)\n", names, static_cast<int>(kNameTableSlots));
    return end_command(rs, Command::kExtract, kExitTooManyNames);
  }
  rs.output_path = kDefaultOutput;
  for (int k = 0; k < names; ++k) {
    rs.name_table.slots[static_cast<std::size_t>(k)] = add_name(rs.catalogue, argv[3 + k], false);
  }
  rs.name_table.count = static_cast<std::size_t>(names);
  const int result = run_extract(rs, argv[2], rs.name_table);
  // The names were matched only when the input could be read.
  if (result == kExitCannotOpen || result == kExitBadHeader) return result;
  explain_unmatched_names(rs, argv[2], argc, argv);
  if (result == kExitNothingFound) {
    explain(
        "none of the names selects an airport; names are compared byte for byte and "
        "case-sensitively, and \"quarnel -L %s\" lists them",
        argv[2]);
  }
  return result;
}

}  // namespace quarnel
