// The merge command (-M): the base with the source's facilities, those the
// base has replaced as the link replaces them, the others added and filed
// under their places (merge_plan.h). Written as the link writes:
// records copied by catalogued offset, one at a time.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "commands/link.h"
#include "commands/merge_plan.h"
#include "format/levels.h"
#include "format/text_forms.h"
#include "io/explain.h"
#include "output/file_parts.h"
#include "output/layout.h"
#include "output/record_copy.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// The degree sign of the report's distances, in the encoding its names come
// out in: the files' Windows-1252 on Windows, UTF-8 elsewhere.
#if defined(_WIN32)
constexpr const char* kDegreeSign = "\xB0";
#else
constexpr const char* kDegreeSign = "\xC2\xB0";
#endif

// The report's lines, gathered into blocks: a merge of a large source prints
// thousands of them.
class ReportLines {
 public:
  ~ReportLines() { flush(); }

  // One line, `what` NAME `tail`.
  void line(std::string_view what, std::string_view name, std::string_view tail) {
    text(what);
    this->name(name);
    text(tail);
  }

  // A name, shown as the other commands show names; it goes out as it is
  // where it needs no escapes.
  void name(std::string_view name) {
    const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
      const auto byte = static_cast<uint8_t>(c);
      return byte >= 0x20 && byte != 0x7F;
    });
    if (plain) {
      text(name);
    } else {
      text(shown_text(name));
    }
  }

  void text(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > sizeof block_ - used_) flush();
    if (text.size() > sizeof block_) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      return;
    }
    std::memcpy(block_ + used_, text.data(), text.size());
    used_ += text.size();
  }

  void flush() {
    std::fwrite(block_, 1, used_, stdout);
    used_ = 0;
  }

 private:
  char block_[4096];
  std::size_t used_ = 0;
};

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

void print_report(RunState& rs, const MergePlan& plan) {
  int replaced = 0;
  int added = 0;
  int left_out = 0;
  ReportLines out;
  for_each_fate(rs, plan, [&](const FacilityFate& f) {
    char reason[96];
    switch (f.fate) {
      case Fate::kReplaced:
        ++replaced;
        out.line("replaced: ", f.name, "\n");
        return;
      case Fate::kAdded:
      case Fate::kAddedUnfiled:
        ++added;
        added_line(out, rs.catalogue, f);
        return;
      case Fate::kOverridden:
        ++left_out;
        std::snprintf(reason, sizeof reason, " (the later %s of this name at 0x%06X replaces it)\n",
                      facility_kind_word(f.subtype), f.taken);
        out.line("left out: ", f.name, reason);
        return;
      case Fate::kBehindNavaid:
        ++left_out;
        out.line("left out: ", f.name,
                 " (the base's airport of this name stands behind its first VOR or NDB, "
                 "where no link finds it; quarnel -V lists it)\n");
        return;
    }
  });
  out.flush();
  std::printf("%d replaced, %d added, %d left out\n", replaced, added, left_out);
}

// A list head the plan made: its size and entry count are set once its
// entries are written.
uint64_t write_made_head(RunState& rs, CatalogueEntry& head) {
  uint8_t bytes[kNameListHeadSize] = {};
  put_u32(bytes + kRecType, kTypeNameListHead);
  head.output_offset = static_cast<uint32_t>(rs.output.tell());
  return rs.output.write(bytes, kNameListHeadSize);
}

// Writes one name list, depth first, with the entries the plan filed in it.
// A list that gained entries gets its size and entry count computed; any
// other is written as the link writes it, but for a size of 0 in a list that
// lists follow: that size would end the chain before them.
uint64_t write_list(RunState& rs, const MergePlan& plan, TreeIndex head, bool last) {
  Catalogue& catalogue = rs.catalogue;
  bool gained = head >= plan.first_made;
  uint64_t total =
      gained ? write_made_head(rs, catalogue[head]) : copy_name_list_object(rs, catalogue[head]);
  // The copied head is still in ObjectBuffer.
  if (!last && !gained && get_i32(rs.object_buffer.get() + kRecSize) == 0) gained = true;
  uint64_t entry_bytes = 0;
  int32_t entries = 0;
  for (TreeIndex n = next_in_order(plan.tree, head, head); n != kNoNode;
       n = next_in_order(plan.tree, n, head)) {
    CatalogueEntry& e = catalogue[n];
    uint64_t bytes = 0;
    if (n >= plan.first_made) {
      gained = true;
      const TreeIndex facility = plan.slots[n].files;
      const uint32_t link = facility != kNoNode ? catalogue[facility].output_offset : 0;
      bytes = copy_name_entry(rs, e, Origin::kSecondInput, link);
    } else {
      bytes = copy_name_list_object(rs, e);
    }
    entry_bytes += bytes;
    ++entries;
  }
  if (gained) {
    patch_name_list_head(rs, catalogue[head], entries,
                         static_cast<int64_t>(entry_bytes) + kNameListOverhead);
  } else {
    fit_name_list_head(rs, catalogue[head], entry_bytes);
  }
  return total + entry_bytes;
}

int write_merged_file(RunState& rs, const MergePlan& plan) {
  init_header(rs, std::time(nullptr));
  store_box(rs.header_image.data() + kFhBounds, plan.header_bounds);
  uint64_t total = 0;
  write_object_list(rs, &total, FacilityBoxes::kAsScanned);
  // An end mark closes each list, and one more the chain; without lists the
  // link writes two all the same, and so does the merge.
  for (TreeIndex head = plan.tree[kTreeRoot].first_child; head != kNoNode;
       head = plan.tree[head].next_sibling) {
    if (head != plan.tree[kTreeRoot].first_child) total += write_end_mark(rs);
    total += write_list(rs, plan, head, plan.tree[head].next_sibling == kNoNode);
  }
  write_file_end(rs, &total);
  return kExitOk;
}

}  // namespace

int run_merge(RunState& rs) {
  uint8_t base_image[kHeaderImageSize];
  MergePlan plan(rs);
  rs.airport_positions = plan.base_positions;
  int result = open_and_catalogue_base(rs, base_image);
  rs.airport_positions = nullptr;
  bool refused = false;  // the output path, before anything was written
  if (result == kExitOk) {
    result = plan_merge(rs, base_image, &plan);
    warn_damaged_inputs(rs);
    if (result == kExitOk) {
      if (!rs.output.create(rs.output_path)) {
        result = kExitCannotWrite;
        refused = true;
      } else {
        print_report(rs, plan);
        result = write_merged_file(rs, plan);
      }
    }
  }
  result = end_command(rs, Command::kMerge, result);
  if (result == kExitTooManyRecords && plan.limit == Limit::kNamePool) {
    std::printf(
        "too many records: the names of the merged file would take more than the tool's "
        "name pool holds (%u bytes)\n",
        static_cast<unsigned>(kNamePoolSize));
  } else if (result == kExitTooManyRecords) {
    std::printf(
        "too many records: the merged file would hold more than the tool can "
        "catalogue (%u records)\n",
        static_cast<unsigned>(kCatalogueCapacity));
  }
  // An input that failed to read has said so already.
  if (result == kExitNoMatch) {
    explain("%s holds no facility, so there is nothing to merge; \"quarnel -L %s\" lists it",
            rs.second_input_path.c_str(), rs.second_input_path.c_str());
  }
  if (result == kExitCannotWrite && refused) explain_output_refused(rs.output_path, rs.output);
  rs.first_input.close();
  rs.second_input.close();
  return result;
}

}  // namespace quarnel
