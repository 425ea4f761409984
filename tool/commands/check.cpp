// The check command (-V): one line for each thing in a file that makes the
// tool lose, drop or misplace something, each at the offset concerned.
// Findings that harm no command are notes and leave the ExitCode alone.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/findings.h"
#include "commands/inputs.h"
#include "commands/listing.h"
#include "format/coverage.h"
#include "format/levels.h"
#include "format/records.h"
#include "format/text_forms.h"
#include "scan/catalogue.h"
#include "scan/lookup.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

const char* plural(long n, const char* one, const char* many) { return n == 1 ? one : many; }

bool covers(const CoverageBox& outer, const CoverageBox& inner) {
  return outer.lat_max >= inner.lat_max && outer.lat_min <= inner.lat_min &&
         outer.lon_max >= inner.lon_max && outer.lon_min <= inner.lon_min;
}

struct Span {
  uint64_t begin = 0;
  uint64_t end = 0;
  bool holds(uint64_t at) const { return at >= begin && at < end; }
};

class Checker : public ListingSink {
 public:
  Checker(RunState& rs, FindingSink& findings) : rs_(rs), findings_(findings) {}

  void begin(const uint8_t* image) override {
    image_ = image;
    trailer_ = trailer_offset(image);
    const uint64_t size = rs_.first_input.size();
    if (trailer_ == 0) {
      note(kFhTrailerOffset, "the trailer's offset is 0: the file has no trailer");
    } else if (trailer_points_nowhere(trailer_, size)) {
      problem(trailer_, "the trailer's offset points at no trailer: the file ends at 0x%06llX",
              static_cast<unsigned long long>(size));
      trailer_ = 0;
    }
  }

  void on_record(WalkKind walk, uint64_t pos, const uint8_t* rec, std::size_t len,
                 int32_t size) override {
    const uint32_t type = get_u32(rec + kRecType);
    if (walk == WalkKind::kNameEntries) {
      ++list_entries_;
      name_list_record(pos, type, len);
      return;
    }
    if (type == kTypeContainer) {
      facility_record(pos, rec, len, size);
    } else if (type == kTypeNameEntry) {
      problem(pos, "a name entry in the object list: no facility behind it is found by a link");
    } else {
      problem(pos, "a record of unknown type 0x%06X in the object list: link leaves it out", type);
    }
  }

  void on_chain_record(uint64_t pos, const uint8_t* head, std::size_t len) override {
    const uint32_t type = get_u32(head + kRecType);
    const int32_t size = get_i32(head + kRecSize);
    if (len == kNameListHeadSize) {
      list_ = {static_cast<uint32_t>(pos), size, get_u32(head + kNlhEntryCount)};
      list_entries_ = 0;
      if (size == 0) note(pos, "a name list of size 0: the chain ends behind it");
    } else if (type != kTypeEnd) {
      problem(pos, "a record of type 0x%06X in the name-list chain: link leaves it out", type);
    } else if (size != 0) {
      note(pos, "an end record of size %d in the name-list chain: the chain goes on behind it",
           size);
    }
  }

  void on_walk_end(WalkKind walk, uint64_t start, uint64_t pos, uint64_t limit,
                   WalkEnd why) override {
    const uint64_t end = why == WalkEnd::kEndRecord ? pos + kRecordHeadSize : pos;
    if (walk == WalkKind::kObjectList) objects_ = {start, end};
    if (walk == WalkKind::kChain) chain_ = {start, end};
    if (walk == WalkKind::kNameEntries && why == WalkEnd::kEndRecord) check_list_fits(pos);
    walk_stopped(walk, pos, limit, why);
  }

  void entry(const EntryView& e) override {
    const LevelInfo* level = find_level(e.level);
    const std::string name = shown_text(e.name);
    if (level == nullptr) {
      problem(e.offset, "name entry \"%s\" has the unknown level 0x%X: extract leaves it out",
              name.c_str(), e.level);
      return;
    }
    if (e.link != 0 && !e.resolved) {
      problem(e.offset, "name entry \"%s\" links 0x%06X, where no facility is", name.c_str(),
              e.link);
    } else if (level->facility_subtype == 0 && e.link != 0) {
      note(e.offset, "%s entry \"%s\" links a facility", level->word, name.c_str());
    } else if (level->facility_subtype != 0 && e.link == 0) {
      problem(e.offset, "%s entry \"%s\" links no facility", level->word, name.c_str());
    } else if (level->facility_subtype != 0 && e.facility_subtype != level->facility_subtype) {
      problem(e.offset, "%s entry \"%s\" links a facility of kind %s (subtype %d) at 0x%06X",
              level->word, name.c_str(), facility_kind_word(e.facility_subtype), e.facility_subtype,
              e.link);
    }
  }

  void end() override {
    check_airports();
    check_name_pool();
    check_trailer_place();
    check_bounds();
  }

 private:
  void line(bool is_problem, uint64_t at, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    findings_.finding({at, is_problem, text});
  }
#if defined(__GNUC__)
  __attribute__((format(printf, 3, 4)))
#endif
  void
  problem(uint64_t at, const char* format, ...) {
    va_list args;
    va_start(args, format);
    line(true, at, format, args);
    va_end(args);
  }
#if defined(__GNUC__)
  __attribute__((format(printf, 3, 4)))
#endif
  void
  note(uint64_t at, const char* format, ...) {
    va_list args;
    va_start(args, format);
    line(false, at, format, args);
    va_end(args);
  }

  void facility_record(uint64_t pos, const uint8_t* rec, std::size_t len, int32_t size) {
    const int32_t subtype = field_i32(rec, len, kContSubtype);
    if (!is_facility_subtype(subtype)) {
      problem(pos, "a facility of unknown subtype %d: link and extract leave it out", subtype);
      return;
    }
    const bool clipped = static_cast<std::size_t>(size) > kScanPayloadLimit;
    if (clipped) {
      note(pos, "a record of %d bytes: the tool looks at its first %u only", size,
           static_cast<unsigned>(kScanPayloadLimit));
    }
    SubRecordWalk walk(rec, len);
    uint32_t type = 0;
    ByteSpan payload;
    std::size_t at = 0;
    while (walk.next(&type, &payload, &at)) {
    }
    if (clipped) return;  // the walk may go on in the bytes the tool never reads
    const uint64_t sub = pos + walk.position();
    if (walk.end() == SubWalkEnd::kPastEnd) {
      problem(sub, "a sub-record of size %u reaches past its record's end: cut off",
              get_u32(rec + walk.position() + 4));
    } else if (walk.end() == SubWalkEnd::kHeadCut) {
      problem(sub, "a sub-record head cut off by its record's end");
    }
    std::string_view name;
    if (!find_facility_name(rec, len, &name)) note(pos, "a facility without a name");
  }

  void name_list_record(uint64_t pos, uint32_t type, std::size_t len) {
    if (type == kTypeContainer) {
      --list_entries_;
      note(pos, "a facility record inside a name list: extract leaves it out");
    } else if (type != kTypeNameEntry) {
      --list_entries_;
      problem(pos, "a record of unknown type 0x%06X in a name list: link leaves it out", type);
    } else if (len < kNeName) {
      problem(pos, "a name entry too short to hold its level and link: cut off");
    }
  }

  void check_list_fits(uint64_t end_record) {
    if (list_.entry_count != static_cast<uint32_t>(list_entries_)) {
      problem(list_.offset, "the name list's head counts %u %s; the list holds %d",
              list_.entry_count, plural(list_.entry_count, "entry", "entries"), list_entries_);
    }
    const uint64_t spans = end_record - list_.offset;
    if (list_.size > 0 && static_cast<uint64_t>(list_.size) != spans) {
      problem(list_.offset,
              "the name list's head declares %d bytes; its entries and end record take %llu",
              list_.size, static_cast<unsigned long long>(spans));
    }
  }

  void walk_stopped(WalkKind walk, uint64_t pos, uint64_t limit, WalkEnd why) {
    const char* what = walk_word(walk);
    uint8_t head[kRecordHeadSize] = {};
    const std::size_t got = rs_.first_input.read_at(pos, head, kRecordHeadSize);
    switch (why) {
      case WalkEnd::kEndRecord:
      case WalkEnd::kSizeZero:
        return;
      case WalkEnd::kEndOfData:
        if (pos > limit) {
          problem(pos, "%s goes on beyond the end of its data at 0x%06llX", what,
                  static_cast<unsigned long long>(limit));
        } else {
          problem(pos, "%s ends without an end record", what);
        }
        return;
      case WalkEnd::kHeadCut:
        problem(pos, "a record head of %s cut off by the end of its data", what);
        return;
      case WalkEnd::kNegativeSize:
        problem(pos, "a record of %s declares a negative size (%d): the walk stops here", what,
                get_i32(head + kRecSize));
        return;
      case WalkEnd::kPastLimit:
        problem(pos,
                "a record of %s declares %d bytes, past the end of its data at 0x%06llX: cut off",
                what, get_i32(head + kRecSize), static_cast<unsigned long long>(limit));
        return;
      case WalkEnd::kBeyondOffsets:
        problem(pos, "%s reaches beyond the 32-bit offsets of the format", what);
        return;
      case WalkEnd::kCatalogueFull:
        if (catalogue_full_ || (got == kRecordHeadSize && get_u32(head) == kTypeEnd)) return;
        catalogue_full_ = true;
        problem(pos, "more records than the tool can catalogue (%u): link and extract drop them",
                static_cast<unsigned>(kCatalogueCapacity));
        return;
    }
  }

  // A link finds only the first airport of a name, and looks only at the
  // airports before the Catalogue's first record of another kind.
  void check_airports() {
    const CatalogueEntry* first_other = nullptr;
    for (std::size_t i = 0; i < rs_.catalogue.count; ++i) {
      const CatalogueEntry& e = rs_.catalogue[i];
      if (e.kind == static_cast<int32_t>(kTypeNameListHead)) break;
      if (e.kind != kSubtypeAirport) {
        if (first_other == nullptr) first_other = &e;
        continue;
      }
      if (e.name == nullptr) continue;  // told by the name-pool line
      const std::string name = shown_text(e.name);
      const CatalogueEntry* found = find_airport_by_name(rs_.catalogue, kSubtypeAirport, e.name);
      if (found == nullptr && first_other != nullptr) {
        problem(e.base_offset,
                "airport \"%s\" stands behind the %s at 0x%06X: a link never replaces it",
                name.c_str(), facility_kind_word(first_other->kind), first_other->base_offset);
      } else if (found != nullptr && found != &e) {
        problem(e.base_offset,
                "airport \"%s\" has the name of the airport at 0x%06X: a link never replaces it",
                name.c_str(), found->base_offset);
      }
    }
  }

  void check_name_pool() {
    int lost = 0;
    uint32_t first = 0;
    for (std::size_t i = 0; i < rs_.catalogue.count; ++i) {
      const CatalogueEntry& e = rs_.catalogue[i];
      if (e.name != nullptr || e.kind == static_cast<int32_t>(kTypeNameListHead)) continue;
      if (lost++ == 0) first = e.base_offset;
    }
    if (lost > 0) {
      problem(first, "%d %s from here on %s the tool's name pool: %s", lost,
              plural(lost, "name", "names"), plural(lost, "does not fit", "do not fit"),
              plural(lost, "it never matches", "they never match"));
    }
  }

  void check_trailer_place() {
    if (trailer_ == 0) return;
    if (trailer_ < kHeaderImageSize) {
      problem(trailer_, "the trailer's offset points into the file's headers");
    } else if (objects_.holds(trailer_)) {
      problem(trailer_, "the trailer's offset points into the object list");
    } else if (chain_.holds(trailer_)) {
      problem(trailer_, "the trailer's offset points into the name lists");
    }
  }

  void check_bounds() {
    const CoverageBox header = load_box(image_ + kFhBounds);
    const CoverageBox& airports = rs_.airport_box;
    if (airports != kEmptyBox && !covers(header, airports)) {
      note(kFhBounds, "the header's bounds do not cover all airports");
    }
    uint8_t box[kBoxSize];
    const CoverageBox& ai = rs_.ai_airport_box;
    if (trailer_ != 0 && ai != kEmptyBox &&
        rs_.first_input.read_at(trailer_ + kTrailerBox, box, kBoxSize) == kBoxSize &&
        !covers(load_box(box), ai)) {
      note(trailer_ + kTrailerBox, "the trailer's bounds do not cover all AI airports");
    }
  }

  RunState& rs_;
  FindingSink& findings_;
  const uint8_t* image_ = nullptr;
  uint32_t trailer_ = 0;
  ListView list_;
  int list_entries_ = 0;
  Span objects_;
  Span chain_;
  bool catalogue_full_ = false;
};

struct FileCheckParts {
  Checker checker;
  std::unique_ptr<ListingSink> layout;
};

// The check proper, then the notes on a layout that a build would change.
class FileCheck : private FileCheckParts, public ListingTee {
 public:
  FileCheck(RunState& rs, FindingSink& findings)
      : FileCheckParts{Checker(rs, findings), make_layout_check(rs, findings)},
        ListingTee(checker, *layout) {}
};

}  // namespace

std::unique_ptr<ListingSink> make_file_check(RunState& rs, FindingSink& findings) {
  return std::make_unique<FileCheck>(rs, findings);
}

bool check_quietly(RunState& rs, const std::string& path, FindingSink& findings) {
  uint8_t image[kHeaderImageSize];
  if (!rs.first_input.open(path) || test_headers(rs.first_input, image) != HeaderTest::kPassed) {
    rs.first_input.close();
    return false;
  }
  FileCheck check(rs, findings);
  tell_listing(rs, image, check);
  rs.first_input.close();
  return true;
}

int run_check(RunState& rs, const std::string& path) {
  PrintedFindings printed;
  FileCheck check(rs, printed);
  int result = walk_listing(rs, path, check);
  if (result == kExitOk) {
    printed.print();
    const int problems = printed.problems;
    const int notes = printed.notes;
    char tail[40] = "";
    if (notes > 0) std::snprintf(tail, sizeof tail, ", %d note%s", notes, notes == 1 ? "" : "s");
    if (problems == 0) {
      std::printf("no problems found%s\n", tail);
    } else {
      std::printf("%d problem%s found%s\n", problems, problems == 1 ? "" : "s", tail);
      result = kExitProblemsFound;
    }
  }
  result = end_command(rs, Command::kCheck, result);
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
