// The extract command: the named airports, with the name-list entries that file
// them and every ancestor of those entries, copied into a new file.
#include <array>
#include <cstdio>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/levels.h"
#include "output/writer.h"
#include "scan/catalogue.h"

namespace quarnel {

struct LevelSlot {
  bool written = false;
  int32_t level = 0;
  CatalogueEntry* entry = nullptr;
};

struct NameListResult {
  int32_t next_index = 0;
  int32_t names_written = 0;
  int64_t bytes_written = 0;
  bool overflow = false;  // the list nested deeper than the level stack holds
};

constexpr int kMaxDepth = 6;

NameListResult write_name_list(RunState& rs, std::size_t start);
void patch_name_list_head(RunState& rs, const CatalogueEntry& head, int32_t names, int64_t bytes);

namespace {

bool is_head(const CatalogueEntry& e) { return e.kind == static_cast<int32_t>(kTypeNameListHead); }
bool is_name_entry(const CatalogueEntry& e) {
  return e.kind == static_cast<int32_t>(kTypeNameEntry);
}

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

std::size_t write_selected_facilities(RunState& rs, uint64_t* total) {
  std::size_t i = 0;
  for (; i < rs.catalogue_count; ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    if (is_head(e)) break;
    if (!is_selected(e)) continue;
    const std::size_t n = read_object(rs, e, kSourceFirstInput);
    log_bounds(rs.airport_box, rs.object_buffer.get(), n);
    if (e.flags & kFlagAiAirport) log_bounds(rs.ai_airport_box, rs.object_buffer.get(), n);
    *total += copy_object(rs, e, kSourceFirstInput);
  }
  return i;
}

int write_extracted_file(RunState& rs) {
  uint64_t total = write_header_image(rs);
  set_header_u32(rs, kFileHeaderSize + kShObjectListOffset, static_cast<uint32_t>(total));
  init_bounds(rs.airport_box);
  init_bounds(rs.ai_airport_box);
  rs.trailer_word = -1;
  std::size_t i = write_selected_facilities(rs, &total);
  total += write_end_mark(rs);
  set_header_u32(rs, kFileHeaderSize + kShNameListOffset, static_cast<uint32_t>(total));
  write_bounds(rs, kBoundsHeader, kBoundsMargin);
  while (i < rs.catalogue_count) {
    const NameListResult r = write_name_list(rs, i);
    if (r.overflow) {
      rs.output.abandon();
      return kExitNestingOverflow;
    }
    patch_name_list_head(rs, rs.catalogue[i], r.names_written, r.bytes_written);
    i = static_cast<std::size_t>(r.next_index);
  }
  write_end_mark(rs);
  write_bounds(rs, kBoundsTrailer, kBoundsMargin);
  rewrite_header(rs);
  return finish_output(rs);
}

}  // namespace

NameListResult write_name_list(RunState& rs, std::size_t start) {
  NameListResult r;
  std::array<LevelSlot, kMaxDepth + 1> stack{};
  stack[0] = LevelSlot{false, kLevelHead, &rs.catalogue[start]};
  int k = 0;
  std::size_t i = start + 1;
  for (; i < rs.catalogue_count && !is_head(rs.catalogue[i]); ++i) {
    CatalogueEntry& e = rs.catalogue[i];
    // Facility records found inside a list are not name entries and file nothing.
    if (!is_name_entry(e)) continue;
    if (!push_entry(stack, k, e)) {
      r.overflow = true;
      break;
    }
    if (e.facility_offset != 0 && find_facility_by_offset(rs, e.facility_offset, true)) {
      write_ancestry(rs, stack, k, r);
    }
  }
  r.next_index = static_cast<int32_t>(i);
  // A list that leads to no selected airport leaves no trace in the output, so
  // the lists behind it stay reachable.
  if (stack[0].written && !r.overflow) write_end_mark(rs);
  return r;
}

void patch_name_list_head(RunState& rs, const CatalogueEntry& head, int32_t names, int64_t bytes) {
  if (head.output_offset != 0 && rs.output.seek(head.output_offset)) {
    uint8_t buf[kNameListHeadSize];
    if (rs.output.read(buf, kRecordHeadSize) == kRecordHeadSize &&
        get_u32(buf) == kTypeNameListHead &&
        rs.output.read(buf + kRecordHeadSize, kNameListHeadSize - kRecordHeadSize) ==
            kNameListHeadSize - kRecordHeadSize) {
      put_i32(buf + kRecSize, static_cast<int32_t>(bytes));
      put_i32(buf + kNlhEntryCount, names);
      if (rs.output.seek(head.output_offset)) rs.output.write(buf, kNameListHeadSize);
    }
  }
  rs.output.seek_end();
}

int run_extract(RunState& rs, const std::string& path, const NameTable& table) {
  uint8_t image[kHeaderImageSize];
  int result = open_first_input(rs, path, image);
  if (result == kExitOk) {
    build_catalogue(rs, image, &table, kScanSelectByName);
    if (count_selected(rs) == 0) {
      result = kExitNothingFound;
    } else {
      init_header(rs, std::time(nullptr));
      result = rs.output.create(rs.output_path) ? write_extracted_file(rs) : kExitCannotWrite;
    }
  }
  result = unless_input_failed(rs, result);
  rs.first_input.close();
  return result;
}

}  // namespace quarnel
