// The name levels in one table, for the extract trace, the listing and the check.
#include "format/levels.h"

#include "format/afd_format.h"

namespace quarnel {

namespace {

constexpr LevelInfo kLevels[] = {
    {kLevelRegion, "region", "  Region:          ", 0},
    {kLevelCountry, "country", "    Country:       ", 0},
    {kLevelState, "state", "      State:       ", 0},
    {kLevelCity, "city", "        City:      ", 0},
    {kLevelAirport, "airport", "          Airport: ", kSubtypeAirport},
    {kLevelVor, "vor", "          VOR:     ", kSubtypeVor},
    {kLevelNdb, "ndb", "          NDB:     ", kSubtypeNdb},
};

}  // namespace

const LevelInfo* find_level(int32_t code) {
  for (const LevelInfo& level : kLevels) {
    if (level.code == code) return &level;
  }
  return nullptr;
}

const char* facility_kind_word(int32_t subtype) {
  switch (subtype) {
    case kSubtypeAirport:
      return "airport";
    case kSubtypeVor:
      return "vor";
    case kSubtypeNdb:
      return "ndb";
    default:
      return "other";
  }
}

}  // namespace quarnel
