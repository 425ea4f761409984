// The extract command with a fuzzed name set. Input layout: one byte that
// tells how many names to take (up to 71, so that the refusal of more than 64
// is reached too), that many NUL-terminated names, then the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "commands/exit_codes.h"
#include "fuzz_support.h"
#include "scan/lookup.h"
#include "scan/scan.h"

using namespace quarnel;
using namespace quarnel::fuzz;

namespace {

constexpr const char* kOutput = "afdtmp.bgl";

// Splits the input into the names and the file's bytes.
void split(const uint8_t* data, std::size_t size, std::vector<std::string>* names,
           std::size_t* file_at) {
  std::size_t pos = 0;
  const std::size_t wanted = size > 0 ? data[0] % 72 : 0;
  pos = size > 0 ? 1 : 0;
  while (names->size() < wanted && pos < size) {
    const auto* nul = static_cast<const uint8_t*>(std::memchr(data + pos, 0, size - pos));
    if (nul == nullptr) break;
    names->emplace_back(reinterpret_cast<const char*>(data + pos),
                        static_cast<std::size_t>(nul - (data + pos)));
    pos = static_cast<std::size_t>(nul - data) + 1;
  }
  *file_at = pos;
}

// What a written file must show when it is scanned again: one airport per
// selected airport of the input, and no more names than the input had.
void check_output(const RunState& input_rs) {
  RunState out_rs;
  require(scan_file(out_rs, kOutput) == kExitOk, "the extracted file fails the header test");
  const CatalogueCounts in = count_catalogue(input_rs);
  const CatalogueCounts out = count_catalogue(out_rs);
  require(out.facilities_before_lists == count_selected(input_rs.catalogue),
          "the extracted file does not hold exactly the selected airports",
          std::to_string(out.facilities_before_lists) + " vs " +
              std::to_string(count_selected(input_rs.catalogue)));
  require(out.name_entries <= in.name_entries,
          "the extracted file holds more names than its input");
  require(out.heads <= in.heads, "the extracted file holds more name lists than its input");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  std::vector<std::string> names;
  std::size_t file_at = 0;
  split(data, size, &names, &file_at);
  put_file("in.bgl", data + file_at, size - file_at);

  std::vector<std::string> args = {"-C", "in.bgl"};
  args.insert(args.end(), names.begin(), names.end());
  RunState rs;
  const int rc = run_tool(rs, args);
  const bool allowed = rc == kExitOk || rc == kExitBadHeader || rc == kExitNothingFound ||
                       rc == kExitTooManyNames || rc == kExitNestingOverflow;
  require(allowed, "extract ended with an unexpected ExitCode", std::to_string(rc));
  if (names.empty()) require(rc == kExitOk, "extract without names did something");
  if (names.size() > kNameTableSlots) require(rc == kExitTooManyNames, "too many names accepted");

  const Bytes after = get_file("in.bgl");
  require(after.size() == size - file_at && std::equal(after.begin(), after.end(), data + file_at),
          "the input changed");
  bool written = false;
  get_file(kOutput, &written);
  const bool wrote_file = rc == kExitOk && !names.empty();
  require(written == wrote_file, "an output exists after a failure, or none after success",
          std::to_string(rc));
  if (wrote_file) {
    require(folder_listing() == std::vector<std::string>{kOutput, "in.bgl"}, "a stray file");
    check_output(rs);
  } else {
    require(folder_listing() == std::vector<std::string>{"in.bgl"}, "a stray file appeared");
  }
  clear_folder();
  return 0;
}
