// The link and the merge commands, each in turn, with a fuzzed base and a
// fuzzed source. Input layout: one byte of flags, four bytes (little endian)
// that give the base's length, the base, then the source. Flag 1 writes the
// result over the base itself; flag 2 puts an older file at the output path
// first, which a failure must not touch.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "commands/exit_codes.h"
#include "fuzz_support.h"

using namespace quarnel;
using namespace quarnel::fuzz;

namespace {

constexpr uint8_t kFlagOutputIsBase = 1;
constexpr uint8_t kFlagOlderOutput = 2;
const Bytes kOlder = {'o', 'l', 'd', '\n'};

struct Case {
  uint8_t flags = 0;
  Bytes base;
  Bytes source;
};

Case split(const uint8_t* data, std::size_t size) {
  Case c;
  if (size == 0) return c;
  c.flags = data[0];
  std::size_t pos = 1;
  uint32_t base_len = 0;
  for (int i = 0; i < 4 && pos < size; ++i, ++pos) {
    base_len |= static_cast<uint32_t>(data[pos]) << (8 * i);
  }
  const std::size_t left = size - pos;
  const std::size_t n = base_len % (left + 1);
  c.base.assign(data + pos, data + pos + n);
  c.source.assign(data + pos + n, data + size);
  return c;
}

// A linked file scanned again holds every facility of the base's object list,
// every name list and every name entry: none is lost or invented. A merged
// file holds at least as many of each: the merge adds, and loses nothing.
void check_output(const RunState& base_rs, const std::string& output, bool merged) {
  RunState out_rs;
  require(scan_file(out_rs, output) == kExitOk, "the written file fails the header test");
  const CatalogueCounts in = count_catalogue(base_rs);
  const CatalogueCounts out = count_catalogue(out_rs);
  const auto holds = [merged](int got, int had) { return merged ? got >= had : got == had; };
  require(holds(out.facilities_before_lists, in.facilities_before_lists),
          "the written file lost or gained facilities",
          std::to_string(out.facilities_before_lists) + " vs " +
              std::to_string(in.facilities_before_lists));
  require(holds(out.heads, in.heads), "the written file lost or gained name lists",
          std::to_string(out.heads) + " vs " + std::to_string(in.heads));
  require(holds(out.name_entries, in.name_entries), "the written file lost or gained names",
          std::to_string(out.name_entries) + " vs " + std::to_string(in.name_entries));
}

void run_case(const Case& c, const char* option) {
  const bool merge = option[1] == 'M';
  put_file("base.bgl", c.base.data(), c.base.size());
  put_file("source.bgl", c.source.data(), c.source.size());
  const bool over_base = (c.flags & kFlagOutputIsBase) != 0;
  const bool older = !over_base && (c.flags & kFlagOlderOutput) != 0;
  const std::string output = over_base ? "base.bgl" : "out.bgl";
  if (older) put_file(output, kOlder.data(), kOlder.size());

  RunState rs;
  const int rc = run_tool(rs, {option, "base.bgl", "source.bgl", output});
  require(rc == kExitOk || rc == kExitBadHeader || rc == kExitNoMatch ||
              (merge && rc == kExitTooManyRecords),
          "link or merge ended with an unexpected ExitCode", option + std::to_string(rc));

  require(get_file("source.bgl") == c.source, "the source changed");
  if (rc != kExitOk || !over_base) require(get_file("base.bgl") == c.base, "the base changed");
  std::vector<std::string> expected = {"base.bgl", "source.bgl"};
  if (!over_base && (rc == kExitOk || older)) expected.push_back("out.bgl");
  std::sort(expected.begin(), expected.end());
  const std::vector<std::string> listing = folder_listing();
  std::string shown = option + std::to_string(rc) + ":";
  for (const std::string& n : listing) shown += " " + n;
  require(listing == expected, "a stray or missing file", shown);
  if (older && rc != kExitOk) require(get_file(output) == kOlder, "a failure touched the output");
  if (rc == kExitOk) check_output(rs, output, merge);
  clear_folder();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  const Case c = split(data, size);
  run_case(c, "-R");
  run_case(c, "-M");
  return 0;
}
