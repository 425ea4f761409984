// The list command (-L): a file's facilities and name lists, for a person.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/display_name.h"
#include "commands/inputs.h"
#include "commands/listing.h"
#include "format/afd_format.h"
#include "format/levels.h"

namespace quarnel {

namespace {

class TextListing : public ListingSink {
 public:
  void begin(const uint8_t*) override {
    std::printf("offset    kind        latitude   longitude  AI  name\n");
  }

  void facility(const FacilityView& f) override {
    ++facilities_;
    // A subtype of any width goes behind the name, so the columns stay.
    const bool known = is_facility_subtype(f.subtype);
    const char* kind = known ? facility_kind_word(f.subtype) : "other";
    char subtype[32] = "";
    if (!known) std::snprintf(subtype, sizeof subtype, "  (subtype %d)", f.subtype);
    char lat[24] = "-";
    char lon[24] = "-";
    if (f.has_position) {
      std::snprintf(lat, sizeof lat, "%.6f", latitude_degrees(f.lat_raw));
      std::snprintf(lon, sizeof lon, "%.6f", longitude_degrees(f.lon_raw));
    }
    const std::string name = f.has_name ? display_name(f.name) : "(no name)";
    std::printf("0x%06X  %-8s %11s %11s  %-2s  %s%s\n", f.offset, kind, lat, lon, f.ai ? "AI" : "",
                name.c_str(), subtype);
  }

  void list_begin(const ListView& l) override {
    ++lists_;
    std::printf("NameList at 0x%06X\n", l.offset);
  }

  void entry(const EntryView& e) override {
    ++names_;
    const LevelInfo* level = find_level(e.level);
    char unknown[40];
    const char* prefix = level != nullptr ? level->trace_prefix : unknown;
    if (level == nullptr) std::snprintf(unknown, sizeof unknown, "          Level 0x%X: ", e.level);
    std::string line = prefix + display_name(e.name);
    char link[64] = "";
    if (e.resolved) {
      std::snprintf(link, sizeof link, "  -> %s at 0x%06X", facility_kind_word(e.facility_subtype),
                    e.link);
    } else if (e.link != 0) {
      std::snprintf(link, sizeof link, "  -> 0x%06X: no facility there", e.link);
    } else if (level == nullptr || level->facility_subtype != 0) {
      std::snprintf(link, sizeof link, "  (no link)");
    }
    std::printf("%s%s\n", line.c_str(), link);
  }

  void end() override {
    std::printf("%d %s, %d %s, %d %s\n", facilities_, facilities_ == 1 ? "facility" : "facilities",
                lists_, lists_ == 1 ? "name list" : "name lists", names_,
                names_ == 1 ? "name" : "names");
  }

 private:
  int facilities_ = 0;
  int lists_ = 0;
  int names_ = 0;
};

}  // namespace

int run_list(RunState& rs, const std::string& path) {
  TextListing listing;
  const int result = end_command(rs, Command::kList, walk_listing(rs, path, listing));
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
