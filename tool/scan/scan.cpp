// The scan that fills the Catalogue: the object list, then the name-list
// chain and each list's entries. Each name list's entries are searched only
// inside that list, so the work stays linear in the file's size whatever its
// bytes say; how a damaged list ends is record_walk.h's to say.
#include "scan/scan.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "format/records.h"
#include "io/explain.h"
#include "scan/lookup.h"
#include "scan/record_walk.h"
#include "scan/scan_observer.h"

namespace quarnel {

namespace {

ScanObserver& watcher(const ScanTarget& target) {
  return target.observer != nullptr ? *target.observer : scan_lines();
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

void catalogue_facility(const ScanTarget& target, const uint8_t* rec, const WalkRecord& head,
                        std::size_t len, const NameFilter& filter, ScanMode mode) {
  Catalogue& catalogue = target.catalogue;
  ScanStatistics& stats = catalogue.stats;
  const uint64_t pos = head.pos;
  CatalogueEntry& slot = catalogue[catalogue.count];
  const int32_t subtype = field_i32(rec, len, kContSubtype);
  if (!is_facility_subtype(subtype)) {
    watcher(target).on_unknown_object(pos, subtype);
    return;
  }
  const char* name = add_name(catalogue, facility_name(rec, len), true);
  slot = CatalogueEntry{};
  slot.origin = scan_origin(mode, false);
  if (subtype == kSubtypeAirport) {
    stats.airports++;
    AirportPosition at = kNoPosition;
    const bool positioned = find_position(rec, len, &at.latitude, &at.longitude);
    if (positioned) log_bounds0(target.airport_box, at.latitude, at.longitude);
    if (target.positions != nullptr) target.positions[catalogue.count] = at;
    if (has_ai_marker(rec, len)) {
      if (positioned) log_bounds0(target.ai_airport_box, at.latitude, at.longitude);
      stats.ai_airports++;
      slot.flags = kFlagAiAirport;
    }
    if (mode == ScanMode::kSelectByName && filter.selects(name)) {
      slot.origin = scan_origin(mode, true);
    }
  } else if (subtype == kSubtypeVor) {
    stats.vors++;
  } else {
    stats.ndbs++;
  }
  slot.kind = subtype;
  slot.base_offset = static_cast<uint32_t>(pos);
  slot.name = name;
  catalogue.count++;
  stats.containers++;
  const int64_t whole = static_cast<int64_t>(head.size) + static_cast<int64_t>(kRecordHeadSize);
  slot.record_size = static_cast<uint32_t>(whole);
  if (whole > stats.max_cont_size) stats.max_cont_size = whole;
}

void catalogue_name_entry(Catalogue& catalogue, const uint8_t* rec, uint64_t pos, std::size_t len,
                          ScanMode mode) {
  catalogue.stats.names++;
  CatalogueEntry& slot = catalogue[catalogue.count];
  slot = CatalogueEntry{};
  slot.origin = scan_origin(mode, false);
  slot.kind = static_cast<int32_t>(kTypeNameEntry);
  slot.name_kind = field_i32(rec, len, kNeNameKind);
  slot.base_offset = static_cast<uint32_t>(pos);
  slot.facility_offset = field_u32(rec, len, kNeFacilityOffset);
  const ByteSpan text = len > kNeName ? ByteSpan{rec + kNeName, len - kNeName} : ByteSpan{};
  slot.name = add_name(catalogue, bounded_text(text), true);
  catalogue.count++;
}

// Marks the first input damaged when a walk of it ended at `pos` for `why`.
// A full Catalogue that stops a walk right at its end record drops nothing.
void note_walk_end(const ScanTarget& target, uint64_t pos, WalkEnd why) {
  if (!is_damage(why)) return;
  if (why == WalkEnd::kCatalogueFull) {
    uint8_t head[kRecordHeadSize];
    if (target.in.read_at(pos, head, kRecordHeadSize) == kRecordHeadSize &&
        get_u32(head + kRecType) == kTypeEnd) {
      return;
    }
  }
  target.in.note_damage();
}

void scan_list(const ScanTarget& target, uint64_t offset, const NameTable* table, ScanMode mode,
               uint64_t limit, WalkKind walk_kind) {
  if (limit > target.in.size()) limit = target.in.size();
  Catalogue& catalogue = target.catalogue;
  invalidate_lookups(catalogue);
  const NameFilter filter(table);
  RecordWalk walk(target.in, target.scratch, offset, limit);
  WalkRecord head;
  WalkEnd why = WalkEnd::kEndRecord;
  for (;;) {
    if (catalogue.count >= kCatalogueCapacity) {
      why = WalkEnd::kCatalogueFull;
      break;
    }
    if (!walk.next(&head)) {
      why = walk.end();
      break;
    }
    // The record is looked at where the input's window holds it, not copied.
    std::size_t len = 0;
    const uint8_t* rec = walk.view(head, head.whole, &len);
    if (rec == nullptr) {
      why = walk.end();
      break;
    }
    if (target.observer != nullptr) {
      target.observer->on_record(walk_kind, head.pos, rec, len, head.size);
    }
    if (head.type == kTypeContainer) {
      catalogue_facility(target, rec, head, len, filter, mode);
    } else if (head.type == kTypeNameEntry) {
      catalogue_name_entry(catalogue, rec, head.pos, len, mode);
    } else {
      watcher(target).on_unknown_record(head.type);
    }
    walk.step(head);
  }
  note_walk_end(target, walk.position(), why);
  if (target.observer != nullptr) {
    target.observer->on_walk_end(walk_kind, offset, walk.position(), limit, why);
  }
}

// One record of the name-list chain, at the chain's position: a head is
// catalogued with its entries. False when the chain ends there, and `why`.
bool chain_step(const ScanTarget& target, NameListChain& chain, WalkEnd* why) {
  Catalogue& catalogue = target.catalogue;
  if (catalogue.count >= kCatalogueCapacity) {
    watcher(target).on_chain_overflow(catalogue.count);
    *why = WalkEnd::kCatalogueFull;
    return false;
  }
  ChainRecord record;
  if (!chain.next(&record)) {
    *why = chain.end();
    return false;
  }
  const uint64_t offset = record.pos;
  if (record.is_head) {
    if (target.observer != nullptr) {
      target.observer->on_chain_record(offset, record.bytes, kNameListHeadSize);
    }
    invalidate_lookups(catalogue);
    CatalogueEntry& slot = catalogue[catalogue.count];
    slot = CatalogueEntry{};
    slot.kind = static_cast<int32_t>(kTypeNameListHead);
    slot.base_offset = static_cast<uint32_t>(offset);
    slot.name = add_name(catalogue, "", false);
    catalogue.count++;
    catalogue.stats.name_lists++;
    scan_list(target, record.entries, nullptr, ScanMode::kSelectByName, record.entries_limit,
              WalkKind::kNameEntries);
  } else if (target.observer != nullptr) {
    target.observer->on_chain_record(offset, record.bytes, kRecordHeadSize);
  }
  if (!chain.step(record)) {
    *why = chain.end();
    return false;
  }
  return true;
}

}  // namespace

HeaderTest test_headers(InputFile& in, uint8_t* image) {
  if (in.read_at(0, image, kFileHeaderSize) < kFileHeaderSize) return HeaderTest::kTooShort;
  if (get_u32(image + kFhMagic) != kMagic) return HeaderTest::kBadMagic;
  uint8_t* section = image + kFileHeaderSize;
  if (in.read_at(kFileHeaderSize, section, kSectionHeaderSize) < kSectionHeaderSize) {
    return HeaderTest::kTooShort;
  }
  if (get_u32(section + kShSectionTag) != kSectionTag) return HeaderTest::kBadSectionTag;
  if (get_i32(section + kShFormatLevel) < kMinFormatLevel) return HeaderTest::kOldFormatLevel;
  return HeaderTest::kPassed;
}

bool read_headers(InputFile& in, uint8_t* image) {
  return test_headers(in, image) == HeaderTest::kPassed;
}

std::string bad_headers_reason(const InputFile& in, const uint8_t* image, HeaderTest failed) {
  const uint8_t* section = image + kFileHeaderSize;
  char text[128];
  switch (failed) {
    case HeaderTest::kPassed:
      return "";
    case HeaderTest::kTooShort:
      std::snprintf(text, sizeof text, "it holds %llu bytes, fewer than the %u of the headers",
                    static_cast<unsigned long long>(in.size()),
                    static_cast<unsigned>(kHeaderImageSize));
      return text;
    case HeaderTest::kBadMagic:
      std::snprintf(text, sizeof text, "its magic number is 0x%08X, not 0x%08X",
                    get_u32(image + kFhMagic), kMagic);
      return text;
    case HeaderTest::kBadSectionTag:
      std::snprintf(text, sizeof text, "its section tag is %u, not %u",
                    get_u32(section + kShSectionTag), kSectionTag);
      return text;
    case HeaderTest::kOldFormatLevel:
      std::snprintf(text, sizeof text, "its format level is %d, below %d",
                    get_i32(section + kShFormatLevel), kMinFormatLevel);
      return text;
  }
  return "";
}

void explain_bad_headers(const InputFile& in, const uint8_t* image, HeaderTest failed) {
  if (failed == HeaderTest::kPassed) return;
  const std::string reason = bad_headers_reason(in, image, failed);
  if (failed == HeaderTest::kOldFormatLevel) {
    explain("%s is not an AFD file the tool reads: %s", in.path().c_str(), reason.c_str());
  } else {
    explain("%s is not an AFD file: %s", in.path().c_str(), reason.c_str());
  }
}

void scan_objects(const ScanTarget& target, uint64_t offset, const NameTable* table, ScanMode mode,
                  uint64_t limit) {
  scan_list(target, offset, table, mode, limit, WalkKind::kObjectList);
}

int64_t read_name_list(const ScanTarget& target, uint64_t offset, WalkEnd* why) {
  NameListChain chain(target.in, offset);
  WalkEnd end = WalkEnd::kEndRecord;
  const bool goes_on = chain_step(target, chain, &end);
  if (why != nullptr) *why = end;
  return goes_on ? static_cast<int64_t>(chain.position() - offset) : 0;
}

void build_catalogue(const ScanTarget& target, const uint8_t* header_image, const NameTable* table,
                     ScanMode mode) {
  target.catalogue.count = 0;
  if (trailer_points_nowhere(trailer_offset(header_image), target.in.size())) {
    target.in.note_damage();
  }
  scan_objects(target, object_list_offset(header_image), table, mode, target.in.size());
  const uint64_t start = name_list_offset(header_image);
  uint64_t offset = start;
  WalkEnd why = WalkEnd::kEndRecord;
  for (int64_t step; (step = read_name_list(target, offset, &why)) > 0;) {
    offset += static_cast<uint64_t>(step);
  }
  note_walk_end(target, offset, why);
  if (target.observer != nullptr) {
    target.observer->on_walk_end(WalkKind::kChain, start, offset, target.in.size(), why);
  }
}

}  // namespace quarnel
