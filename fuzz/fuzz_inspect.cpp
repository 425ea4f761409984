// The commands that look inside a file, on any bytes: the JSON listing must be
// one valid JSON document that agrees with the scan's Catalogue, the check,
// the listing and the preview (the file as base and source) must end with
// their ExitCodes, and nothing may change the input or leave a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "fuzz_support.h"

using namespace quarnel;
using namespace quarnel::fuzz;

namespace {

void check_json(const RunState& rs, const std::string& json) {
  nlohmann::json doc = nlohmann::json::parse(json, nullptr, false);
  require(!doc.is_discarded(), "the JSON listing is not valid JSON");
  const CatalogueCounts counts = count_catalogue(rs);
  const nlohmann::json& lists = doc["name_lists"];
  std::size_t entries = 0;
  for (const nlohmann::json& list : lists) entries += list.at("entries").size();
  require(doc["facilities"].size() >= static_cast<std::size_t>(counts.facilities_before_lists),
          "the JSON listing lost facilities");
  require(lists.size() == static_cast<std::size_t>(counts.heads),
          "the JSON listing lost or gained name lists");
  // Name entries the object list holds belong to no name list; -V reports them.
  std::size_t listed = 0;
  bool in_lists = false;
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const int32_t kind = rs.catalogue[i].kind;
    in_lists = in_lists || kind == static_cast<int32_t>(kTypeNameListHead);
    if (in_lists && kind == static_cast<int32_t>(kTypeNameEntry)) ++listed;
  }
  require(entries == listed, "the JSON listing lost or gained names",
          std::to_string(entries) + " vs " + std::to_string(listed));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InScratch here;
  put_file("in.bgl", data, size);

  RunState json_rs;
  std::string json;
  const int rc = json_listing(json_rs, "in.bgl", &json);
  require(rc == kExitOk || rc == kExitBadHeader, "-J ended with an unexpected ExitCode",
          std::to_string(rc));
  if (rc == kExitOk) {
    check_json(json_rs, json);
  } else {
    require(json.empty(), "-J wrote to standard output on failure");
  }

  RunState check_rs;
  const int checked = run_tool(check_rs, {"-V", "in.bgl"});
  require(checked == kExitOk || checked == kExitBadHeader || checked == kExitProblemsFound,
          "-V ended with an unexpected ExitCode", std::to_string(checked));
  require((checked == kExitBadHeader) == (rc == kExitBadHeader),
          "-V and -J disagree on the headers");

  RunState list_rs;
  const int listed = run_tool(list_rs, {"-L", "in.bgl"});
  require(listed == rc, "-L and -J disagree", std::to_string(listed));

  RunState preview_rs;
  const int previewed = run_tool(preview_rs, {"-P", "in.bgl", "in.bgl"});
  require(previewed == kExitOk || previewed == kExitBadHeader || previewed == kExitNoMatch,
          "-P ended with an unexpected ExitCode", std::to_string(previewed));

  require_only_input("in.bgl", data, size);
  clear_folder();
  return 0;
}
