#include "commands/extract_name_list.h"

#include <cstdio>

#include "format/afd_format.h"
#include "format/levels.h"
#include "output/record_copy.h"
#include "scan/filing.h"
#include "scan/lookup.h"

namespace quarnel {

namespace {

// Prints the trace line of a level; false for a level that has none.
bool print_trace(int32_t level, const char* name) {
  if (level == kLevelHead) {
    std::printf("NameList\n");
    return true;
  }
  const LevelInfo* info = find_level(level);
  if (info == nullptr) {
    std::printf("Error\n");
    return false;
  }
  std::printf("%s%s\n", info->trace_prefix, name != nullptr ? name : "");
  return true;
}

using LevelStack = FilingStack<LevelSlot, kMaxDepth>;

// The list's head and the entries the latest one is filed under, it last.
void write_ancestry(RunState& rs, LevelSlot& head, LevelStack& stack, NameListResult& r) {
  for (int j = -1; j < stack.depth(); ++j) {
    LevelSlot& slot = j < 0 ? head : stack[j];
    if (slot.written) continue;
    slot.written = true;
    if (!print_trace(slot.level, slot.entry->name)) continue;
    r.bytes_written += static_cast<int64_t>(copy_name_list_object(write_target(rs), *slot.entry));
    if (is_name_entry(*slot.entry)) r.names_written++;
  }
}

}  // namespace

NameListResult write_name_list(RunState& rs, std::size_t start) {
  NameListResult r;
  LevelSlot head{false, kLevelHead, &rs.catalogue[start]};
  LevelStack stack;
  std::size_t i = start + 1;
  for (; i < rs.catalogue.count && !is_list_head(rs.catalogue[i]); ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    // Facility records found inside a list are not name entries and file nothing.
    if (!is_name_entry(e)) continue;
    // The head holds depth 0 of the kMaxDepth + 1 levels the list may nest.
    stack.settle(e.name_kind);
    if (!stack.push(LevelSlot{false, e.name_kind, &e})) {
      r.overflow = true;
      break;
    }
    if (e.facility_offset != 0 && find_facility_by_offset(rs.catalogue, e.facility_offset, true)) {
      write_ancestry(rs, head, stack, r);
    }
  }
  r.next_index = static_cast<int32_t>(i);
  // A list that leads to no selected airport leaves no trace in the output, so
  // the lists behind it stay reachable.
  if (head.written && !r.overflow) write_end_mark(rs.output);
  return r;
}

}  // namespace quarnel
