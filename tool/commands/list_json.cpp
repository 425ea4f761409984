// The JSON list command (-J): the listing of -L as one JSON document, and
// nothing else on standard output, so that scripts can read it whole.
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "commands/inputs.h"
#include "commands/listing.h"
#include "format/levels.h"
#include "format/text_forms.h"

namespace quarnel {

namespace {

void append_number(std::string& out, const char* format, double value) {
  char text[40];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

void append_int(std::string& out, long long value) { out += std::to_string(value); }

class JsonListing : public ListingSink {
 public:
  JsonListing(std::FILE* out, const std::string& path) : out_(out), path_(path) {}

  void begin(const uint8_t*) override {
    std::string s = "{\"file\": ";
    append_json_path(s, path_);
    s += ",\n \"facilities\": [";
    put(s);
  }

  void facility(const FacilityView& f) override {
    std::string s = first_ ? "\n  " : ",\n  ";
    first_ = false;
    s += "{\"offset\": ";
    append_int(s, f.offset);
    s += ", \"kind\": \"";
    s += facility_kind_word(f.subtype);
    s += "\", \"subtype\": ";
    append_int(s, f.subtype);
    s += ", \"name\": ";
    if (f.has_name) {
      append_json_string(s, f.name);
    } else {
      s += "null";
    }
    if (f.has_position) {
      s += ", \"lat\": ";
      append_number(s, "%.6f", latitude_degrees(f.lat_raw));
      s += ", \"lon\": ";
      append_number(s, "%.6f", longitude_degrees(f.lon_raw));
      s += ", \"lat_raw\": ";
      append_int(s, f.lat_raw);
      s += ", \"lon_raw\": ";
      append_int(s, f.lon_raw);
    } else {
      s += ", \"lat\": null, \"lon\": null, \"lat_raw\": null, \"lon_raw\": null";
    }
    s += f.ai ? ", \"ai\": true}" : ", \"ai\": false}";
    put(s);
  }

  void list_begin(const ListView& l) override {
    if (!in_lists_) {
      put(first_ ? "],\n \"name_lists\": [" : "\n ],\n \"name_lists\": [");
      in_lists_ = true;
      first_ = true;
    }
    std::string s = first_ ? "\n  " : ",\n  ";
    first_ = false;
    first_entry_ = true;
    s += "{\"offset\": ";
    append_int(s, l.offset);
    s += ", \"entries\": [";
    put(s);
  }

  void entry(const EntryView& e) override {
    std::string s = first_entry_ ? "\n   " : ",\n   ";
    first_entry_ = false;
    s += "{\"offset\": ";
    append_int(s, e.offset);
    s += ", \"level\": ";
    if (const LevelInfo* level = find_level(e.level)) {
      s += '"';
      s += level->word;
      s += '"';
    } else {
      append_int(s, e.level);
    }
    s += ", \"name\": ";
    append_json_string(s, e.name);
    s += ", \"link\": ";
    append_int(s, e.link);
    s += ", \"facility\": ";
    if (e.resolved) {
      append_int(s, e.link);
    } else {
      s += "null";
    }
    s += '}';
    put(s);
  }

  void list_end() override { put(first_entry_ ? "]}" : "\n  ]}"); }

  void end() override {
    if (!in_lists_) {
      put(first_ ? "],\n \"name_lists\": []}\n" : "\n ],\n \"name_lists\": []}\n");
    } else {
      put("\n ]}\n");
    }
  }

 private:
  void put(const std::string& s) { std::fwrite(s.data(), 1, s.size(), out_); }

  std::FILE* out_;
  const std::string& path_;
  bool first_ = true;  // no item yet in the array being written
  bool first_entry_ = true;
  bool in_lists_ = false;
};

}  // namespace

int run_list_json(RunState& rs, const std::string& path, std::FILE* out, std::FILE* messages) {
  JsonListing listing(out, path);
  const int result = end_command(rs, Command::kListJson, walk_listing(rs, path, listing, messages));
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
