// Documents are normalised, then compared whole: identities become places in
// the document, and what a build computes anew is taken out after its own
// check.
#include "document_compare.h"

#include <map>
#include <nlohmann/json.hpp>

namespace afdtest {

namespace {

using nlohmann::json;

// Facility offsets become the facility's index, wherever the document names one.
void normalise(json& doc) {
  std::map<long long, long long> index;
  json& facilities = doc["facilities"];
  for (std::size_t i = 0; i < facilities.size(); ++i) {
    index[facilities[i]["offset"].get<long long>()] = static_cast<long long>(i);
    facilities[i]["offset"] = i;
  }
  auto place = [&](json& v) {
    if (!v.is_null()) v = index.at(v.get<long long>());
  };
  for (json& other : doc["other_records"]) {
    other.erase("offset");
    place(other["after"]);
  }
  for (json& list : doc["name_lists"]) {
    list.erase("offset");
    for (json& entry : list["entries"]) {
      entry.erase("offset");
      entry.erase("link");
      place(entry["facility"]);
    }
  }
  doc.erase("file");
  doc.erase("problems");
  doc.erase("problems_not_listed");
}

bool contains(const json& outer, const json& inner) {
  return outer["lat_max"].get<long long>() >= inner["lat_max"].get<long long>() &&
         outer["lat_min"].get<long long>() <= inner["lat_min"].get<long long>() &&
         outer["lon_max"].get<long long>() >= inner["lon_max"].get<long long>() &&
         outer["lon_min"].get<long long>() <= inner["lon_min"].get<long long>();
}

// Takes the bounds at `where` out of both, after checking that the rebuilt
// ones were only ever widened.
std::string take_bounds(json& a, json& b, const char* part) {
  if (a[part].is_null() || b[part].is_null()) return "";
  json& before = a[part]["bounds"];
  json& after = b[part]["bounds"];
  if (!contains(after, before)) return std::string(part) + " bounds shrank: " + after.dump();
  a[part].erase("bounds");
  b[part].erase("bounds");
  return "";
}

}  // namespace

std::string compare_documents(std::string_view original, std::string_view rebuilt) {
  json a = json::parse(original, nullptr, false);
  json b = json::parse(rebuilt, nullptr, false);
  if (a.is_discarded() || b.is_discarded()) return "not JSON";
  try {
    normalise(a);
    normalise(b);
  } catch (const std::exception& e) {
    return std::string("a document names a facility it does not list: ") + e.what();
  }
  for (const char* part : {"header", "trailer"}) {
    std::string shrank = take_bounds(a, b, part);
    if (!shrank.empty()) return shrank;
  }
  if (a == b) return "";
  const json patch = json::diff(a, b);
  return patch.dump().substr(0, 600);
}

}  // namespace afdtest
