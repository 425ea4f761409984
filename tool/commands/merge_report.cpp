#include "commands/merge_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "commands/display_name.h"
#include "format/levels.h"

namespace quarnel {

namespace {

// The degree sign of the report's distances, in the encoding its names come
// out in: the files' Windows-1252 on Windows, UTF-8 elsewhere.
#if defined(_WIN32)
constexpr const char* kDegreeSign = "\xB0";
#else
constexpr const char* kDegreeSign = "\xC2\xB0";
#endif

// An added facility's line, with what the report notes of it in brackets.
void added_line(ReportLines& out, const Catalogue& catalogue, const FacilityFate& f) {
  out.text("added: ");
  out.name(f.name);
  const char* open = " (";
  const auto note = [&](std::string_view text) {
    out.text(open);
    out.text(text);
    open = "; ";
  };
  if (f.fate == Fate::kAddedUnfiled) note("no name entry");
  if (f.similar != kNoNode) {
    note("the base has ");
    out.name(catalogue[f.similar].name);
    out.text("; names are compared exactly");
  }
  if (f.remark != nullptr && f.remark->near != kNoNode) {
    char apart[48];
    std::snprintf(apart, sizeof apart, "%.3f%s from ", static_cast<double>(f.remark->degrees),
                  kDegreeSign);
    note(apart);
    out.name(catalogue[f.remark->near].name);
  }
  out.text(*open == ';' ? ")\n" : "\n");
}

}  // namespace

void ReportLines::name(std::string_view name) {
  const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<uint8_t>(c);
    return byte >= 0x20 && byte < 0x7F;
  });
  if (plain) {
    text(name);
  } else {
    text(display_name(name));
  }
}

void ReportLines::text(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > sizeof block_ - used_) flush();
  if (text.size() > sizeof block_) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  std::memcpy(block_ + used_, text.data(), text.size());
  used_ += text.size();
}

void ReportLines::flush() {
  std::fwrite(block_, 1, used_, stdout);
  used_ = 0;
}

void report_source(RunState& rs, const MergePlan& plan, ReportLines& out, ReportCounts* counts,
                   const std::vector<std::string>* sources) {
  for_each_fate(rs, plan, [&](const FacilityFate& f) {
    char reason[96];
    switch (f.fate) {
      case Fate::kReplaced:
        ++counts->replaced;
        if (sources == nullptr || f.over == kBaseInput) {
          out.line("replaced: ", f.name, "\n");
          return;
        }
        ++counts->conflicts;
        out.line("replaced: ", f.name, " (over ");
        out.text((*sources)[f.over - 1u]);
        out.text("'s)\n");
        return;
      case Fate::kAdded:
      case Fate::kAddedUnfiled:
        ++counts->added;
        added_line(out, rs.catalogue, f);
        return;
      case Fate::kOverridden:
        ++counts->left_out;
        std::snprintf(reason, sizeof reason, " (the later %s of this name at 0x%06X replaces it)\n",
                      facility_kind_word(f.subtype), f.taken);
        out.line("left out: ", f.name, reason);
        return;
      case Fate::kBehindNavaid:
        ++counts->left_out;
        out.line("left out: ", f.name,
                 " (the base's airport of this name stands behind its first VOR or NDB, "
                 "where no link finds it; quarnel -V lists it)\n");
        return;
    }
  });
}

}  // namespace quarnel
