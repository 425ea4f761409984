// The scan trusts nothing in the file. A walk ends, keeping what it has
// catalogued, at the first record that
//   - has a head cut short by the end of the data (fewer than 8 bytes),
//   - declares a negative size,
//   - reaches past the end of its list's data (the file's end, or for a name
//     list's entries the end of the span that the list's head declares),
//   - would start beyond the 32-bit offsets that the format can express.
// Steps are always at least 8 bytes forward, so every walk ends, and each
// name list's entries are searched only inside that list, so the work stays
// linear in the file's size whatever its bytes say.
#include "scan/catalogue.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "commands/exit_codes.h"
#include "format/records.h"
#include "scan/lookup.h"
#include "scan/scan_observer.h"

namespace quarnel {

namespace {

constexpr uint64_t kMaxOffset = UINT32_MAX;

struct RecordHead {
  uint32_t type;
  int32_t size;
};

// Why no head can be read at `pos` of data that ends at `limit`; kEndRecord
// when one can.
WalkEnd head_room(uint64_t pos, uint64_t limit) {
  if (pos > kMaxOffset) return WalkEnd::kBeyondOffsets;
  if (pos >= limit) return WalkEnd::kEndOfData;
  if (limit - pos < kRecordHeadSize) return WalkEnd::kHeadCut;
  return WalkEnd::kEndRecord;
}

// Reads the head at `pos`. False, with the reason, when the walk must end there.
bool read_head(RunState& rs, uint64_t pos, uint64_t limit, RecordHead* head, WalkEnd* why) {
  *why = head_room(pos, limit);
  if (*why != WalkEnd::kEndRecord) return false;
  std::size_t got = 0;
  const uint8_t* bytes = rs.first_input.view(pos, kRecordHeadSize, rs.object_buffer.get(), &got);
  if (got < kRecordHeadSize) {
    *why = WalkEnd::kHeadCut;
    return false;
  }
  head->type = get_u32(bytes + kRecType);
  head->size = get_i32(bytes + kRecSize);
  return true;
}

// The extract command's names in a small hash table. Every airport of a scan
// is checked against all of them: a probe or two and a comparison of hashes
// cost less than a strcmp with each. The answers are is_name_selected's.
class NameFilter {
 public:
  explicit NameFilter(const NameTable* table) : table_(table) {
    const std::size_t count = table != nullptr ? std::min(table->count, kNameTableSlots) : 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (table->slots[i] == nullptr) continue;
      hashes_[i] = lookup_name_hash(table->slots[i]);
      std::size_t s = hashes_[i] & kMask;
      while (slots_[s] != 0) s = (s + 1) & kMask;
      slots_[s] = static_cast<uint8_t>(i + 1);
      empty_ = false;
    }
  }

  bool selects(const char* name) const {
    if (name == nullptr || empty_) return false;
    const uint32_t h = lookup_name_hash(name);
    for (std::size_t s = h & kMask; slots_[s] != 0; s = (s + 1) & kMask) {
      const std::size_t i = slots_[s] - 1u;
      if (hashes_[i] == h && std::strcmp(name, table_->slots[i]) == 0) return true;
    }
    return false;
  }

 private:
  static constexpr std::size_t kSlots = 2 * kNameTableSlots;  // at most half full
  static constexpr std::size_t kMask = kSlots - 1;
  static_assert((kSlots & kMask) == 0 && kNameTableSlots < 256, "slots hold index + 1 in a byte");
  const NameTable* table_;
  bool empty_ = true;
  std::array<uint32_t, kNameTableSlots> hashes_{};
  std::array<uint8_t, kSlots> slots_{};
};

void catalogue_facility(RunState& rs, const uint8_t* rec, const RecordHead& head, uint64_t pos,
                        std::size_t len, const NameFilter& filter, int mode) {
  CatalogueEntry& slot = rs.catalogue[rs.catalogue_count];
  const int32_t subtype = field_i32(rec, len, kContSubtype);
  if (subtype < kSubtypeAirport || subtype > kSubtypeNdb) {
    if (rs.scan_observer == nullptr) {
      std::printf("unknown object %d at 0x%06lX\n", subtype, static_cast<unsigned long>(pos));
    }
    return;
  }
  const char* name = add_name(rs, facility_name(rec, len), true);
  slot = CatalogueEntry{};
  slot.origin = mode == kScanTakeAll ? 1 : 0;
  if (subtype == kSubtypeAirport) {
    rs.stats.airports++;
    log_bounds(rs.airport_box, rec, len);
    if (has_ai_marker(rec, len)) {
      log_bounds(rs.ai_airport_box, rec, len);
      rs.stats.ai_airports++;
      slot.flags = kFlagAiAirport;
    }
    if (mode != kScanTakeAll && filter.selects(name)) {
      slot.origin = static_cast<uint16_t>(mode);
    }
  } else if (subtype == kSubtypeVor) {
    rs.stats.vors++;
  } else {
    rs.stats.ndbs++;
  }
  slot.kind = subtype;
  slot.base_offset = static_cast<uint32_t>(pos);
  slot.name = name;
  rs.catalogue_count++;
  rs.stats.containers++;
  const int64_t whole = static_cast<int64_t>(head.size) + static_cast<int64_t>(kRecordHeadSize);
  slot.record_size = static_cast<uint32_t>(whole);
  if (whole > rs.stats.max_cont_size) rs.stats.max_cont_size = whole;
}

void catalogue_name_entry(RunState& rs, const uint8_t* rec, uint64_t pos, std::size_t len,
                          int mode) {
  rs.stats.names++;
  CatalogueEntry& slot = rs.catalogue[rs.catalogue_count];
  slot = CatalogueEntry{};
  slot.origin = mode == kScanTakeAll ? 1 : 0;
  slot.kind = static_cast<int32_t>(kTypeNameEntry);
  slot.name_kind = field_i32(rec, len, kNeNameKind);
  slot.base_offset = static_cast<uint32_t>(pos);
  slot.facility_offset = field_u32(rec, len, kNeFacilityOffset);
  const ByteSpan text = len > kNeName ? ByteSpan{rec + kNeName, len - kNeName} : ByteSpan{};
  slot.name = add_name(rs, bounded_text(text), true);
  rs.catalogue_count++;
}

void scan_list(RunState& rs, uint64_t offset, const NameTable* table, int mode, uint64_t limit,
               WalkKind walk) {
  if (limit > rs.first_input.size()) limit = rs.first_input.size();
  invalidate_lookups(rs);
  const NameFilter filter(table);
  uint64_t pos = offset;
  RecordHead head;
  WalkEnd why = WalkEnd::kEndRecord;
  for (;;) {
    if (rs.catalogue_count >= kCatalogueCapacity) {
      why = WalkEnd::kCatalogueFull;
      break;
    }
    if (!read_head(rs, pos, limit, &head, &why)) break;
    if (head.type == kTypeEnd) break;
    if (head.size < 0) {
      why = WalkEnd::kNegativeSize;
      break;
    }
    const uint64_t next = pos + kRecordHeadSize + static_cast<uint64_t>(head.size);
    if (next > limit) {
      why = WalkEnd::kPastLimit;
      break;
    }
    std::size_t n = static_cast<std::size_t>(head.size);
    if (n > kScanPayloadLimit) n = kScanPayloadLimit;
    // The record is looked at where the input's window holds it, not copied.
    std::size_t len = 0;
    const uint8_t* rec =
        rs.first_input.view(pos, kRecordHeadSize + n, rs.object_buffer.get(), &len);
    if (len < kRecordHeadSize) {
      why = WalkEnd::kHeadCut;
      break;
    }
    if (rs.scan_observer != nullptr) rs.scan_observer->on_record(walk, pos, rec, len, head.size);
    if (head.type == kTypeContainer) {
      catalogue_facility(rs, rec, head, pos, len, filter, mode);
    } else if (head.type == kTypeNameEntry) {
      catalogue_name_entry(rs, rec, pos, len, mode);
    } else if (rs.scan_observer == nullptr) {
      std::printf("unknown object: 0x%06lX\n", static_cast<unsigned long>(head.type));
    }
    pos = next;
  }
  if (rs.scan_observer != nullptr) rs.scan_observer->on_walk_end(walk, offset, pos, limit, why);
}

// One record of the name-list chain; see read_name_list.
int64_t chain_step(RunState& rs, uint64_t offset, WalkEnd* why) {
  if (rs.catalogue_count >= kCatalogueCapacity) {
    if (rs.scan_observer == nullptr) {
      std::printf("overflow %d\n", static_cast<int>(rs.catalogue_count));
    }
    *why = WalkEnd::kCatalogueFull;
    return 0;
  }
  const uint64_t file_size = rs.first_input.size();
  *why = head_room(offset, file_size);
  if (*why != WalkEnd::kEndRecord) return 0;
  uint8_t head[kNameListHeadSize];
  if (rs.first_input.read_at(offset, head, kRecordHeadSize) < kRecordHeadSize) {
    *why = WalkEnd::kHeadCut;
    return 0;
  }
  const uint32_t type = get_u32(head + kRecType);
  const int32_t size = get_i32(head + kRecSize);
  if (type == kTypeNameListHead) {
    // A head cut short by the end of the file would be copied cut short: the
    // chain ends before it instead.
    if (rs.first_input.read_at(offset + kRecordHeadSize, head + kRecordHeadSize,
                               kNameListHeadSize - kRecordHeadSize) <
        kNameListHeadSize - kRecordHeadSize) {
      *why = WalkEnd::kHeadCut;
      return 0;
    }
    if (rs.scan_observer != nullptr)
      rs.scan_observer->on_chain_record(offset, head, kNameListHeadSize);
    invalidate_lookups(rs);
    CatalogueEntry& slot = rs.catalogue[rs.catalogue_count];
    slot = CatalogueEntry{};
    slot.kind = static_cast<int32_t>(kTypeNameListHead);
    slot.base_offset = static_cast<uint32_t>(offset);
    slot.name = add_name(rs, "", false);
    rs.catalogue_count++;
    rs.stats.name_lists++;
    const uint64_t extent =
        size > 0 ? offset + kRecordHeadSize + static_cast<uint64_t>(size) : file_size;
    scan_list(rs, offset + kNameListHeadSize, nullptr, kScanSelectByName, extent,
              WalkKind::kNameEntries);
  } else if (rs.scan_observer != nullptr) {
    rs.scan_observer->on_chain_record(offset, head, kRecordHeadSize);
  }
  if (size <= 0) {
    *why = size < 0           ? WalkEnd::kNegativeSize
           : type == kTypeEnd ? WalkEnd::kEndRecord
                              : WalkEnd::kSizeZero;
    return 0;
  }
  return static_cast<int64_t>(size) + static_cast<int64_t>(kRecordHeadSize);
}

}  // namespace

bool read_headers(InputFile& in, uint8_t* image) {
  if (in.read_at(0, image, kFileHeaderSize) < kFileHeaderSize) return false;
  if (get_u32(image + kFhMagic) != kMagic) return false;
  uint8_t* section = image + kFileHeaderSize;
  if (in.read_at(kFileHeaderSize, section, kSectionHeaderSize) < kSectionHeaderSize) return false;
  if (get_u32(section + kShSectionTag) != kSectionTag) return false;
  return get_i32(section + kShFormatLevel) >= kMinFormatLevel;
}

int open_first_input(RunState& rs, const std::string& path, uint8_t* image, std::FILE* messages) {
  if (!rs.first_input.open(path)) {
    std::fprintf(messages, "cannot open:\"%s\"\n", path.c_str());
    return kExitCannotOpen;
  }
  return read_headers(rs.first_input, image) ? kExitOk : kExitBadHeader;
}

const char* add_name(RunState& rs, std::string_view text, bool counted) {
  const std::size_t len = text.size();
  if (counted && static_cast<int64_t>(len) > rs.stats.max_strlen) {
    rs.stats.max_strlen = static_cast<int64_t>(len);
  }
  if (len >= rs.name_pool_size || rs.name_pool_fill >= rs.name_pool_size - len - 1) {
    return nullptr;
  }
  char* copy = rs.name_pool.get() + rs.name_pool_fill;
  if (len > 0) std::memcpy(copy, text.data(), len);
  copy[len] = '\0';
  rs.name_pool_fill += len + 1;
  return copy;
}

bool is_name_selected(const char* name, const NameTable* table) {
  if (table == nullptr || name == nullptr) return false;
  for (std::size_t i = 0; i < table->count; ++i) {
    if (table->slots[i] != nullptr && std::strcmp(name, table->slots[i]) == 0) return true;
  }
  return false;
}

void scan_objects(RunState& rs, uint64_t offset, const NameTable* table, int mode, uint64_t limit) {
  scan_list(rs, offset, table, mode, limit, WalkKind::kObjectList);
}

int64_t read_name_list(RunState& rs, uint64_t offset, WalkEnd* why) {
  WalkEnd end = WalkEnd::kEndRecord;
  const int64_t d = chain_step(rs, offset, &end);
  if (why != nullptr) *why = end;
  return d;
}

void build_catalogue(RunState& rs, const uint8_t* header_image, const NameTable* table, int mode) {
  const uint8_t* section = header_image + kFileHeaderSize;
  rs.catalogue_count = 0;
  scan_objects(rs, get_u32(section + kShObjectListOffset), table, mode, rs.first_input.size());
  const uint64_t start = get_u32(section + kShNameListOffset);
  uint64_t offset = start;
  WalkEnd why = WalkEnd::kEndRecord;
  for (;;) {
    const int64_t d = read_name_list(rs, offset, &why);
    if (d <= 0) break;
    offset += static_cast<uint64_t>(d);
  }
  if (rs.scan_observer != nullptr) {
    rs.scan_observer->on_walk_end(WalkKind::kChain, start, offset, rs.first_input.size(), why);
  }
}

int count_selected(const RunState& rs) {
  int n = 0;
  for (std::size_t i = 0; i < rs.catalogue_count; ++i) {
    if (is_selected(rs.catalogue[i])) ++n;
  }
  return n;
}

}  // namespace quarnel
