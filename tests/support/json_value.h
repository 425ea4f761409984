// A strict JSON reader for tests: one document per text (RFC 8259), UTF-8
// checked, no extensions, so that a test fails on anything a script's parser
// might refuse.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace afdtest {

struct Json {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // a string's value (UTF-8), or a number as written
  std::vector<Json> items;
  // An object's members, in order; two vectors, as a pair could not hold the
  // incomplete Json.
  std::vector<std::string> names;
  std::vector<Json> values;

  // The member `key` of an object, or a null value when there is none.
  const Json& operator[](const std::string& key) const;
  bool is_null() const { return type == kNull; }
};

// Parses `text` as one JSON document. False, with `error` saying where and
// why, when it is not valid.
bool parse_json(std::string_view text, Json* out, std::string* error);

}  // namespace afdtest
