// The levels of the name lists: what people and scripts call them, where the
// trace lines put them, and which kind of facility an entry of each files.
#pragma once

#include <cstdint>

namespace quarnel {

struct LevelInfo {
  int32_t code;
  const char* word;          // for scripts: "region" ... "ndb"
  const char* trace_prefix;  // the indented label of the extract trace
  int32_t facility_subtype;  // the facility an entry of the level files; 0 for none
};

// The level of `code`, or null for a code the tool does not know.
const LevelInfo* find_level(int32_t code);

// "airport", "vor", "ndb" or "other".
const char* facility_kind_word(int32_t subtype);

}  // namespace quarnel
