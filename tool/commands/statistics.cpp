// The statistics command: the counts of a file's records in their fixed layout.
#include <cinttypes>
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

void print_report(const RunState& rs) {
  const ScanStatistics& s = rs.catalogue.stats;
  std::printf(
      "containers:     %4d\nname list:      %4d\nnames:          %4d\n"
      "--------------------\ncat count:      %4d\n\nmax strlen:     %4" PRId64
      "\nmax cont size: %5" PRId64 "\n",
      s.containers, s.name_lists, s.names, static_cast<int>(rs.catalogue.count), s.max_strlen,
      s.max_cont_size);
  std::printf("airports:       %4d\n", s.airports);
  std::printf("airports AI:    %4d\n", s.ai_airports);
  std::printf("vor's:          %4d\n", s.vors);
  std::printf("ndb's:          %4d\n", s.ndbs);
}

}  // namespace

int run_statistics(RunState& rs, const std::string& path) {
  uint8_t image[kHeaderImageSize];
  int result = open_first_input(rs, path, image);
  if (result == kExitOk) {
    build_catalogue(rs, image, &rs.name_table, ScanMode::kSelectByName);
    // The report's counts are what could be read; a damaged file says so.
    warn_damaged_inputs(rs);
  }
  // Headers that could not be read keep their ExitCode 3, and are explained.
  result = end_command(rs, Command::kStatistics, result);
  if (result == kExitOk) print_report(rs);
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
