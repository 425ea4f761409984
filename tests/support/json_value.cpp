// The tests' JSON reader: nlohmann/json, the library -B reads descriptions
// with, which refuses everything RFC 8259 forbids (control characters and
// invalid UTF-8 in strings, bad escapes, lone surrogates, leading zeros,
// trailing commas, anything after the document), turned into the plain tree
// the tests walk, with each object's members in document order.
#include "json_value.h"

#include <nlohmann/json.hpp>

namespace afdtest {

namespace {

using Parsed = nlohmann::ordered_json;

void convert(const Parsed& in, Json* out) {
  switch (in.type()) {
    case Parsed::value_t::null:
      out->type = Json::kNull;
      break;
    case Parsed::value_t::boolean:
      out->type = Json::kBool;
      out->boolean = in.get<bool>();
      break;
    case Parsed::value_t::number_integer:
    case Parsed::value_t::number_unsigned:
    case Parsed::value_t::number_float:
      out->type = Json::kNumber;
      out->number = in.get<double>();
      out->text = in.dump();
      break;
    case Parsed::value_t::string:
      out->type = Json::kString;
      out->text = in.get<std::string>();
      break;
    case Parsed::value_t::array:
      out->type = Json::kArray;
      out->items.resize(in.size());
      for (std::size_t i = 0; i < in.size(); ++i) convert(in[i], &out->items[i]);
      break;
    default:
      out->type = Json::kObject;
      for (const auto& [name, value] : in.items()) {
        out->names.push_back(name);
        out->values.emplace_back();
        convert(value, &out->values.back());
      }
      break;
  }
}

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  static const Json kNone;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == key) return values[i];
  }
  return kNone;
}

bool parse_json(std::string_view text, Json* out, std::string* error) {
  *out = Json{};
  try {
    convert(Parsed::parse(text), out);
    return true;
  } catch (const Parsed::parse_error& e) {
    if (error != nullptr) *error = e.what();
    return false;
  }
}

}  // namespace afdtest
