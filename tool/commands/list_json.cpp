// The JSON list command (-J): the listing of -L as one JSON document, and
// nothing else on standard output, so that scripts can read it whole. The
// document holds the whole file: besides what the listing interprets, the
// header's fields, each record's bytes that it does not, the trailer, and the
// check's findings, so that -B can write the file again from it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/findings.h"
#include "commands/inputs.h"
#include "commands/json_stream.h"
#include "commands/listing.h"
#include "document/hex.h"
#include "format/levels.h"
#include "format/records.h"
#include "format/text_forms.h"
#include "scan/record_walk.h"

namespace quarnel {

namespace {

void append_number(std::string& out, const char* format, double value) {
  char text[40];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

void append_int(std::string& out, long long value) { out += std::to_string(value); }

void append_hex_string(std::string& out, const uint8_t* bytes, std::size_t n) {
  out += '"';
  append_hex(out, bytes, n);
  out += '"';
}

void append_box(std::string& out, const uint8_t* box) {
  const CoverageBox b = load_box(box);
  out += "{\"lat_max\": ";
  append_int(out, b.lat_max);
  out += ", \"lat_min\": ";
  append_int(out, b.lat_min);
  out += ", \"lon_max\": ";
  append_int(out, b.lon_max);
  out += ", \"lon_min\": ";
  append_int(out, b.lon_min);
  out += '}';
}

void append_header(std::string& s, const uint8_t* image) {
  const uint8_t* section = image + kFileHeaderSize;
  s += " \"header\": {\"bounds\": ";
  append_box(s, image + kFhBounds);
  s += ", \"file_id\": [";
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) s += ", ";
    append_int(s, get_u16(section + kShFileId + 2 * i));
  }
  s += "], \"created\": {\"year\": ";
  append_int(s, get_i32(section + kShCreatedYear));
  s += ", \"month\": ";
  append_int(s, section[kShCreatedMonth]);
  s += ", \"day\": ";
  append_int(s, section[kShCreatedDay]);
  s += ", \"time\": ";
  append_int(s, get_u32(section + kShCreatedTime));
  s += "}, \"format_level\": ";
  append_int(s, get_i32(section + kShFormatLevel));
  s += ", \"other_bytes\": [";
  bool first = true;
  for (const HeaderRun& r : kFreeHeaderBytes) {
    for (std::size_t at = r.begin; at < r.end;) {
      if (image[at] == written_header_byte(at)) {
        ++at;
        continue;
      }
      std::size_t run = at;
      while (run < r.end && image[run] != written_header_byte(run)) ++run;
      s += first ? "{\"at\": " : ", {\"at\": ";
      first = false;
      append_int(s, static_cast<long long>(at));
      s += ", \"bytes\": ";
      append_hex_string(s, image + at, run - at);
      s += '}';
      at = run;
    }
  }
  s += "]},\n";
}

struct WalkSpan {
  uint64_t start = 0;
  uint64_t end = 0;
};

// The findings the document carries, as -V prints them: the first 20000, and
// a count of the rest.
constexpr std::size_t kListedFindings = 20000;

class JsonListing : public ListingSink, public FindingSink {
 public:
  JsonListing(RunState& rs, std::FILE* out, const std::string& path)
      : rs_(rs), out_(out), path_(path) {}

  void finding(const Finding& f) override {
    if (findings_.size() < kListedFindings) {
      findings_.push_back(f);
    } else {
      ++unlisted_findings_;
    }
  }

  void begin(const uint8_t* image) override {
    std::string s = "{\"file\": ";
    append_json_path(s, path_);
    s += ",\n";
    append_header(s, image);
    s += " \"facilities\": [";
    put(s);
  }

  void on_record(WalkKind walk, uint64_t pos, const uint8_t* rec, std::size_t len,
                 int32_t size) override {
    if (walk != WalkKind::kObjectList) return;
    if (get_u32(rec + kRecType) != kTypeContainer) {
      ++others_;
      return;
    }
    // Kept now: the bytes are the input's to move once the scan reads on.
    record_.keep(pos, rec, len, kRecordHeadSize + static_cast<uint64_t>(size));
  }

  void on_walk_end(WalkKind walk, uint64_t start, uint64_t pos, uint64_t, WalkEnd) override {
    if (walk == WalkKind::kObjectList) objects_ = {start, pos};
  }

  void facility(const FacilityView& f) override {
    // Only facilities an entry's link can resolve to are kept: those the
    // Catalogue holds, and the first of the others, as many as the listing
    // resolves.
    if (is_facility_subtype(f.subtype) || uncatalogued_++ < kCatalogueCapacity) {
      listed_.push_back(f.offset);
    }
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
    s += f.ai ? ", \"ai\": true" : ", \"ai\": false";
    put(s);
    put_raw_facility(out_, rs_.first_input, record_);
    put("}");
  }

  void list_begin(const ListView& l) override {
    if (!in_lists_) {
      end_facilities();
      put(" \"name_lists\": [");
      in_lists_ = true;
      first_ = true;
    }
    std::string s = first_ ? "\n  " : ",\n  ";
    first_ = false;
    first_entry_ = true;
    s += "{\"offset\": ";
    append_int(s, l.offset);
    uint8_t head[kNameListHeadSize] = {};
    rs_.first_input.read_at(l.offset, head, sizeof head);
    static constexpr uint8_t kZero[kNlhEntryCount - kRecordHeadSize] = {};
    if (!std::equal(head + kRecordHeadSize, head + kNlhEntryCount, kZero)) {
      s += ", \"reserved\": ";
      append_hex_string(s, head + kRecordHeadSize, kNlhEntryCount - kRecordHeadSize);
    }
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
    // Only a facility that this document lists can be named by an entry.
    if (e.resolved && std::binary_search(listed_.begin(), listed_.end(), e.link)) {
      append_int(s, e.link);
    } else {
      s += "null";
    }
    put(s);
    put_tail(e);
    put("}");
  }

  void list_end() override { put(first_entry_ ? "]}" : "\n  ]}"); }

  void end() override {
    if (!in_lists_) {
      end_facilities();
      put(" \"name_lists\": [],\n");
    } else {
      put("\n ],\n");
    }
    std::string s = " \"trailer\": ";
    append_trailer(s);
    s += ",\n \"problems\": [";
    for (std::size_t i = 0; i < findings_.size(); ++i) {
      const Finding& f = findings_[i];
      s += i == 0 ? "\n  {\"offset\": " : ",\n  {\"offset\": ";
      append_int(s, static_cast<long long>(f.offset));
      s += f.problem ? ", \"note\": false, \"text\": " : ", \"note\": true, \"text\": ";
      append_json_string(s, f.text);
      s += '}';
      if (s.size() >= JsonStream::kBlock) {
        put(s);
        s.clear();
      }
    }
    s += findings_.empty() ? "]" : "\n ]";
    if (unlisted_findings_ > 0) {
      s += ",\n \"problems_not_listed\": ";
      append_int(s, static_cast<long long>(unlisted_findings_));
    }
    s += "}\n";
    put(s);
    out_.flush();
  }

 private:
  void put(std::string_view text) { out_.put(text); }

  // The bytes behind the NUL of the name shown. A name that runs to the end
  // of what the tool reads has none: what follows is not a tail.
  void put_tail(const EntryView& e) {
    uint8_t head[kRecordHeadSize] = {};
    if (rs_.first_input.read_at(e.offset, head, sizeof head) < sizeof head) return;
    const uint64_t whole = kRecordHeadSize + static_cast<uint64_t>(get_u32(head + kRecSize));
    const uint64_t nul = kNeName + e.name.size();
    uint8_t at_nul = 1;
    if (whole < nul + 2 || rs_.first_input.read_at(e.offset + nul, &at_nul, 1) < 1 || at_nul != 0) {
      return;
    }
    // As far as the file goes, should it have changed since the scan.
    const uint64_t end = std::min<uint64_t>(e.offset + whole, rs_.first_input.size());
    if (end < e.offset + nul + 2) return;
    put(", \"tail\": ");
    out_.put_input_hex(rs_.first_input, e.offset + nul + 1, end - (e.offset + nul + 1));
  }

  // The other records, walked again: the object list as the scan walked it,
  // up to where its walk ended.
  void end_facilities() {
    put(first_ ? "],\n \"other_records\": [" : "\n ],\n \"other_records\": [");
    bool first = true;
    if (others_ > 0) {
      RecordWalk walk(rs_.first_input, rs_.object_buffer.get(), objects_.start,
                      rs_.first_input.size());
      WalkRecord rec;
      bool anchored = false;
      uint64_t after = 0;
      while (walk.position() < objects_.end && walk.next(&rec)) {
        if (rec.type == kTypeContainer) {
          anchored = true;
          after = rec.pos;
        } else {
          std::string s = first ? "\n  {\"offset\": " : ",\n  {\"offset\": ";
          first = false;
          append_int(s, static_cast<long long>(rec.pos));
          s += ", \"after\": ";
          if (anchored) {
            append_int(s, static_cast<long long>(after));
          } else {
            s += "null";
          }
          s += ", \"bytes\": ";
          put(s);
          out_.put_input_hex(rs_.first_input, rec.pos, rec.next - rec.pos);
          put("}");
        }
        walk.step(rec);
      }
    }
    put(first ? "],\n" : "\n ],\n");
  }

  void append_trailer(std::string& s) {
    uint8_t image[kHeaderImageSize] = {};
    rs_.first_input.read_at(0, image, sizeof image);
    const uint32_t at = trailer_offset(image);
    uint8_t trailer[kTrailerSize];
    if (at == 0 || rs_.first_input.read_at(at, trailer, kTrailerSize) < kTrailerSize) {
      s += "null";
      return;
    }
    s += "{\"word\": ";
    append_int(s, get_u32(trailer));
    s += ", \"bounds\": ";
    append_box(s, trailer + kTrailerBox);
    s += '}';
  }

  RunState& rs_;
  JsonStream out_;
  const std::string& path_;
  bool first_ = true;  // no item yet in the array being written
  bool first_entry_ = true;
  bool in_lists_ = false;
  FacilityBytes record_;  // the facility record being listed
  std::vector<uint32_t> listed_;  // the resolvable facilities' offsets, in file order
  std::size_t uncatalogued_ = 0;
  std::size_t others_ = 0;  // records of the object list that are not facilities
  WalkSpan objects_;
  std::vector<Finding> findings_;
  std::size_t unlisted_findings_ = 0;
};

}  // namespace

int run_list_json(RunState& rs, const std::string& path, std::FILE* out) {
  JsonListing listing(rs, out, path);
  // The check goes first: it looks at each record before the listing reads on.
  const std::unique_ptr<ListingSink> check = make_file_check(rs, listing);
  ListingTee both(*check, listing);
  const int result = end_command(rs, Command::kListJson, walk_listing(rs, path, both));
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
