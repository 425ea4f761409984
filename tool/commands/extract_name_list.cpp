#include "commands/extract_name_list.h"

#include <array>
#include <cstdio>

#include "format/afd_format.h"
#include "format/levels.h"
#include "output/record_copy.h"
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

// Puts `e` on the stack at the depth its level gives. Depth 0 is the list's
// head; an entry whose level would put it there goes directly under the head.
bool push_entry(std::array<LevelSlot, kMaxDepth + 1>& stack, int& k, CatalogueEntry& e) {
  const int32_t level = e.name_kind;
  if (level < stack[static_cast<std::size_t>(k)].level) {
    while (k > 0 && stack[static_cast<std::size_t>(k - 1)].level >= level) --k;
  } else if (level > stack[static_cast<std::size_t>(k)].level) {
    ++k;
  }
  if (k == 0) k = 1;
  if (k > kMaxDepth) return false;
  stack[static_cast<std::size_t>(k)] = LevelSlot{false, level, &e};
  return true;
}

void write_ancestry(RunState& rs, std::array<LevelSlot, kMaxDepth + 1>& stack, int k,
                    NameListResult& r) {
  for (int j = 0; j <= k; ++j) {
    LevelSlot& slot = stack[static_cast<std::size_t>(j)];
    if (slot.written) continue;
    slot.written = true;
    if (!print_trace(slot.level, slot.entry->name)) continue;
    r.bytes_written += static_cast<int64_t>(copy_name_list_object(rs, *slot.entry));
    if (is_name_entry(*slot.entry)) r.names_written++;
  }
}

}  // namespace

NameListResult write_name_list(RunState& rs, std::size_t start) {
  NameListResult r;
  std::array<LevelSlot, kMaxDepth + 1> stack{};
  stack[0] = LevelSlot{false, kLevelHead, &rs.catalogue[start]};
  int k = 0;
  std::size_t i = start + 1;
  for (; i < rs.catalogue.count && !is_list_head(rs.catalogue[i]); ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    // Facility records found inside a list are not name entries and file nothing.
    if (!is_name_entry(e)) continue;
    if (!push_entry(stack, k, e)) {
      r.overflow = true;
      break;
    }
    if (e.facility_offset != 0 && find_facility_by_offset(rs.catalogue, e.facility_offset, true)) {
      write_ancestry(rs, stack, k, r);
    }
  }
  r.next_index = static_cast<int32_t>(i);
  // A list that leads to no selected airport leaves no trace in the output, so
  // the lists behind it stay reachable.
  if (stack[0].written && !r.overflow) write_end_mark(rs);
  return r;
}

}  // namespace quarnel
