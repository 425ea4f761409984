// The index command (-I folder): every AFD file under a folder, in the order
// a merge of the folder takes them, with its facility counts; then each
// airport name that more than one of them holds, with those files in that
// order and the one a merge keeps, the last. It only reads.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_end.h"
#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/merge_plan.h"
#include "commands/merge_report.h"
#include "commands/source_list.h"
#include "io/explain.h"
#include "scan/source_walk.h"

namespace quarnel {

namespace {

struct Counts {
  int airports = 0;
  int vors = 0;
  int ndbs = 0;
};

void count_line(ReportLines& out, const std::string& path, const Counts& c) {
  char text[96];
  std::snprintf(text, sizeof text, ": %d airport%s, %d VOR%s, %d NDB%s\n", c.airports,
                c.airports == 1 ? "" : "s", c.vors, c.vors == 1 ? "" : "s", c.ndbs,
                c.ndbs == 1 ? "" : "s");
  out.text(path);
  out.text(text);
}

// The airports of every file, each name once per file, as Catalogue entries:
// the name in NamePool, the file's number in source_offset. False when they
// do not fit.
class AirportNames {
 public:
  explicit AirportNames(Catalogue& catalogue) : catalogue_(catalogue) { catalogue.count = 0; }

  bool add(std::string_view name, uint32_t file) {
    if (full_) return false;
    if (catalogue_.count == kCatalogueCapacity) return !(full_ = true);
    const char* kept = add_name(catalogue_, name, false);
    if (kept == nullptr) return !(full_ = true);
    CatalogueEntry& e = catalogue_[catalogue_.count++];
    e = CatalogueEntry{};
    e.kind = kSubtypeAirport;
    e.source_offset = file;
    e.name = kept;
    return true;
  }
  bool full() const { return full_; }

  // Each name held by more than one file, in byte order of the names.
  int print_shared(ReportLines& out, const std::vector<std::string>& files) {
    CatalogueEntry* begin = &catalogue_[0];
    CatalogueEntry* end = begin + catalogue_.count;
    std::sort(begin, end, [](const CatalogueEntry& a, const CatalogueEntry& b) {
      const int order = std::strcmp(a.name, b.name);
      return order != 0 ? order < 0 : a.source_offset < b.source_offset;
    });
    int shared = 0;
    for (CatalogueEntry* group = begin; group != end;) {
      CatalogueEntry* next = group + 1;
      int holders = 1;  // a file may hold an airport name twice
      for (; next != end && std::strcmp(next->name, group->name) == 0; ++next) {
        holders += next->source_offset != next[-1].source_offset;
      }
      if (holders > 1) {
        ++shared;
        out.name(group->name);
        const char* separator = ": ";
        for (const CatalogueEntry* e = group; e != next; ++e) {
          if (e != group && e->source_offset == e[-1].source_offset) continue;
          out.text(separator);
          out.text(files[e->source_offset]);
          separator = ", ";
        }
        out.text("; ");
        out.text(files[next[-1].source_offset]);
        out.text(" wins\n");
      }
      group = next;
    }
    return shared;
  }

 private:
  Catalogue& catalogue_;
  bool full_ = false;
};

}  // namespace

int run_index(RunState& rs, const std::string& folder) {
  SourceList list;
  const int result = gather_sources(rs, {folder}, kMaxSources, &list);
  if (result != kExitOk) return end_gathering(rs, Command::kIndex, result, list);
  AirportNames names(rs.catalogue);
  ReportLines out;
  for (std::size_t k = 0; k < list.files.size(); ++k) {
    const std::string& path = list.files[k];
    InputFile& in = rs.second_input;
    if (!in.open(path)) {
      out.flush();
      rs.failures.note(FileFailure::kCannotOpen, path, in.open_error());
      return end_command(rs, Command::kIndex, kExitCannotOpen);
    }
    Counts counts;
    for_each_source_facility(in, rs.object_buffer.get(), [&](const SourceFacility& f) {
      if (f.subtype == kSubtypeVor) ++counts.vors;
      if (f.subtype == kSubtypeNdb) ++counts.ndbs;
      if (f.subtype != kSubtypeAirport) return;
      ++counts.airports;
      names.add(f.name, static_cast<uint32_t>(k));
    });
    count_line(out, path, counts);
    out.flush();
    if (in.read_failed()) {
      warn_partly_read(path);
    } else if (in.damaged()) {
      warn_damaged_input(path);
    }
    in.close();
  }
  if (names.full()) {
    out.flush();
    std::printf(
        "too many records: the airports of the files would take more than the tool can "
        "compare (%u records, %u bytes of names)\n",
        static_cast<unsigned>(kCatalogueCapacity), static_cast<unsigned>(kNamePoolSize));
    return end_command(rs, Command::kIndex, kExitTooManyRecords);
  }
  const int shared = names.print_shared(out, list.files);
  const std::size_t files = list.files.size();
  char line[96];
  std::snprintf(line, sizeof line, "%zu file%s, %d airport name%s held by more than one\n", files,
                files == 1 ? "" : "s", shared, shared == 1 ? "" : "s");
  out.text(line);
  return end_command(rs, Command::kIndex, kExitOk);
}

}  // namespace quarnel
