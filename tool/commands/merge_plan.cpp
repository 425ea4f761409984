// The merge's plan, made in four steps, each reading its input once:
//   1. the source's facilities are walked: each replaces the base facility a
//      link (or, for a VOR or NDB, the first of its kind and name) finds, is
//      left out, or becomes a candidate entry at the Catalogue's end;
//   2. the candidates that a later one of their kind and name overrides are
//      dropped, and the rest move to their places in the facility order; the
//      bounds grow by the airports taken, and the report's notes are sought;
//   3. the source's name lists are walked, and of each added facility its
//      first entry is kept, with the places above it;
//   4. the added facilities, in source order, are filed under their places in
//      the base's name-list tree, gaining the places the base lacks.
#include "commands/merge_plan.h"

#include <algorithm>
#include <cstring>

#include "commands/exit_codes.h"
#include "commands/link.h"
#include "format/records.h"
#include "scan/lookup.h"

namespace quarnel {

namespace {

// The base facility that a source facility of `subtype` and `name` replaces.
CatalogueEntry* replaced_by(Catalogue& catalogue, int32_t subtype, std::string_view name) {
  if (subtype == kSubtypeAirport) return find_airport_by_name(catalogue, subtype, name);
  return find_facility_by_name(catalogue, subtype, name);
}

// The first position of an airport record and whether it has the AI mark, in
// one walk: find_position's and has_ai_marker's answers. False when the bytes
// end before the record's sub-records do, and a whole record would say more.
// The walk is SubRecordWalk's, written out: it runs over every airport the
// merge takes from the source.
bool read_airport(const uint8_t* rec, std::size_t len, AirportPosition* at, bool* ai) {
  bool seen_position = false;
  *at = kNoPosition;
  *ai = false;
  for (std::size_t pos = kContSubRecords; pos <= len && len - pos >= kSubHeadSize;) {
    const uint32_t type = get_u32(rec + pos);
    if (type == kSubEnd) return true;
    const uint32_t size = get_u32(rec + pos + 4);
    const std::size_t body = pos + kSubHeadSize;
    if (size > len - body) return false;
    if (type == kSubPosition && !seen_position) {
      seen_position = true;
      if (size >= kPosLongitude + 4) {
        *at = AirportPosition{get_i32(rec + body + kPosLatitude),
                              get_i32(rec + body + kPosLongitude)};
      }
    } else if (type == kSubAiMarker) {
      *ai = true;
    }
    pos = body + size;
  }
  return false;
}

// The position and AI mark of the source's airport `f`, from the bytes the
// walk read for its name where they hold all its sub-records.
void read_source_airport(RunState& rs, const SourceFacility& f, AirportPosition* at, bool* ai) {
  if (read_airport(f.bytes, f.bytes_read, at, ai) || f.bytes_read >= f.seen) return;
  std::size_t got = 0;
  const uint8_t* rec = rs.second_input.view(f.offset, f.seen, rs.object_buffer.get(), &got);
  read_airport(rec, got, at, ai);
}

// --- step 1: the source's facilities ---------------------------------------

bool same_facility(const CatalogueEntry& a, const CatalogueEntry& b) {
  return a.kind == b.kind && std::strcmp(a.name, b.name) == 0;
}

// Keeps, of the candidates in [first, end), only the last of each kind and
// name, in source order. Returns the new end.
std::size_t drop_overridden(Catalogue& catalogue, std::size_t first, std::size_t end) {
  CatalogueEntry* const begin = &catalogue[0] + first;
  CatalogueEntry* last = &catalogue[0] + end;
  std::sort(begin, last, [](const CatalogueEntry& a, const CatalogueEntry& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    const int order = std::strcmp(a.name, b.name);
    return order != 0 ? order < 0 : a.source_offset < b.source_offset;
  });
  for (CatalogueEntry* e = begin; e + 1 < last; ++e) {
    if (same_facility(*e, e[1])) e->origin = Origin::kNone;
  }
  std::sort(begin, last, [](const CatalogueEntry& a, const CatalogueEntry& b) {
    return a.source_offset < b.source_offset;
  });
  last = std::remove_if(begin, last, [](const CatalogueEntry& e) { return !is_selected(e); });
  return static_cast<std::size_t>(last - &catalogue[0]);
}

// The candidates gather behind the Catalogue's count, which stays the base's
// until the walk is done, so that the lookups see the base alone.
struct Candidates {
  std::size_t first;
  std::size_t end;
};

Limit add_candidate(RunState& rs, Candidates* c, const SourceFacility& f) {
  Catalogue& catalogue = rs.catalogue;
  if (c->end == kCatalogueCapacity) c->end = drop_overridden(catalogue, c->first, c->end);
  if (c->end == kCatalogueCapacity) return Limit::kRecords;
  const char* name = add_name(catalogue, f.name, false);
  if (name == nullptr) return Limit::kNamePool;
  CatalogueEntry& e = catalogue[c->end++];
  e = CatalogueEntry{};
  e.kind = f.subtype;
  e.source_offset = static_cast<uint32_t>(f.offset);
  e.record_size = static_cast<uint32_t>(f.size);
  e.origin = Origin::kSecondInput;
  e.name = name;
  if (f.subtype == kSubtypeAirport) {
    AirportPosition at;
    bool ai = false;
    read_source_airport(rs, f, &at, &ai);
    if (ai) e.flags = kFlagAiAirport;
  }
  return Limit::kNone;
}

void note(MergePlan* plan, uint64_t offset, Decision decision, std::size_t base = kNoNode) {
  if (plan->ledger_count == kCatalogueCapacity) return;
  plan->ledger[plan->ledger_count++] =
      LedgerEntry{static_cast<uint32_t>(offset), static_cast<TreeIndex>(base), decision};
}

// Marks what the source replaces and puts the candidates behind the base's
// entries. Returns the number of source facilities; sets the plan's limit when
// the candidates outgrow the Catalogue or their names NamePool.
int take_source_facilities(RunState& rs, MergePlan* plan) {
  Catalogue& catalogue = rs.catalogue;
  Candidates candidates{catalogue.count, catalogue.count};
  index_facility_names(catalogue);
  int facilities = 0;
  for_each_source_facility(rs, rs.second_input, [&](const SourceFacility& f) {
    if (!is_facility_subtype(f.subtype)) return;
    ++facilities;
    if (plan->limit != Limit::kNone) return;
    if (CatalogueEntry* base = replaced_by(catalogue, f.subtype, f.name)) {
      base->origin = Origin::kSecondInput;
      base->source_offset = static_cast<uint32_t>(f.offset);
      base->record_size = static_cast<uint32_t>(f.size);
      if (f.subtype == kSubtypeAirport) {
        // The entry's position and AI mark become the replacing record's,
        // for the bounds, from the bytes at hand.
        bool ai = false;
        read_source_airport(rs, f, &plan->base_positions[base - &catalogue[0]], &ai);
        base->flags = ai ? kFlagAiAirport : 0;
      }
      note(plan, f.offset, Decision::kReplaces, static_cast<std::size_t>(base - &catalogue[0]));
      return;
    }
    // A second airport of the name would be one that no link finds.
    if (f.subtype == kSubtypeAirport &&
        find_facility_by_name(catalogue, f.subtype, f.name) != nullptr) {
      note(plan, f.offset, Decision::kBehindNavaid);
      return;
    }
    // The lookups see the base alone until the walk ends.
    const CatalogueEntry* alike = find_facility_alike(catalogue, f.subtype, f.name);
    note(plan, f.offset, Decision::kCandidate,
         alike != nullptr ? static_cast<std::size_t>(alike - &catalogue[0]) : kNoNode);
    plan->limit = add_candidate(rs, &candidates, f);
  });
  if (plan->limit == Limit::kNone) {
    catalogue.count = drop_overridden(catalogue, candidates.first, candidates.end);
  }
  return facilities;
}

// --- step 2: the added facilities in their places -------------------------

void place_added(Catalogue& catalogue, std::size_t first, MergePlan* plan) {
  std::size_t leading = 0;  // the base's leading airports
  while (leading < first && catalogue[leading].kind == kSubtypeAirport) ++leading;
  std::size_t facilities = leading;  // the base's facilities before its first other entry
  while (facilities < first && is_facility(catalogue[facilities])) ++facilities;
  CatalogueEntry* entries = &catalogue[0];
  CatalogueEntry* added = entries + first;
  CatalogueEntry* end = entries + catalogue.count;
  CatalogueEntry* navaids = std::stable_partition(
      added, end, [](const CatalogueEntry& e) { return e.kind == kSubtypeAirport; });
  plan->airports = static_cast<std::size_t>(navaids - added);
  plan->navaids = static_cast<std::size_t>(end - navaids);
  std::rotate(entries + facilities, added, end);
  std::rotate(entries + leading, entries + facilities, entries + facilities + plan->airports);
  plan->airports_at = leading;
  plan->navaids_at = facilities + plan->airports;
  plan->base_leading = leading;
  plan->base_facilities = facilities;
  invalidate_lookups(catalogue);
  // The base facilities the ledger names moved with the rest.
  for (LedgerEntry* e = plan->ledger; e != plan->ledger + plan->ledger_count; ++e) {
    if (e->decision != Decision::kBehindNavaid && e->base != kNoNode) {
      e->base = static_cast<TreeIndex>(plan->moved(e->base));
    }
  }
}

// Every airport the result takes from the source, added or replacing, widens
// the header's bounds, and each with the AI mark the trailer's box; the base's
// own airports, which the scan logged, widen the header's too. So the bounds
// cover every airport of the result, and never shrink. Returns the number of
// added airports whose positions it kept.
std::size_t widen_bounds(RunState& rs, MergePlan* plan) {
  log_box(plan->header_bounds, rs.airport_box);
  const Catalogue& catalogue = rs.catalogue;
  const auto widen = [&](const AirportPosition& at, bool ai) {
    if (at.latitude == kNoPosition.latitude) return;
    log_bounds0(plan->header_bounds, at.latitude, at.longitude);
    if (ai) log_bounds0(rs.ai_airport_box, at.latitude, at.longitude);
  };
  // The replacing airports' positions stand where the base's stood.
  for (std::size_t scanned = 0; scanned < plan->base_facilities; ++scanned) {
    const CatalogueEntry& e = catalogue[plan->moved(scanned)];
    if (e.kind != kSubtypeAirport || e.origin != Origin::kSecondInput) continue;
    widen(plan->base_positions[scanned], (e.flags & kFlagAiAirport) != 0);
  }
  std::size_t kept = 0;
  for (std::size_t i = plan->airports_at; i < plan->airports_at + plan->airports; ++i) {
    const CatalogueEntry& e = catalogue[i];
    std::size_t got = 0;
    const std::size_t seen =
        std::min<std::size_t>(e.record_size, kRecordHeadSize + kScanPayloadLimit);
    const uint8_t* rec = rs.second_input.view(e.source_offset, seen, rs.object_buffer.get(), &got);
    AirportPosition at = kNoPosition;
    bool ai = false;
    read_airport(rec, got, &at, &ai);
    widen(at, ai);
    if (at.latitude != kNoPosition.latitude) {
      plan->added_positions[kept++] =
          AddedPosition{at, static_cast<uint32_t>(i - plan->airports_at)};
    }
  }
  return kept;
}

}  // namespace

// The arrays in the plan memory, the most aligned first.
MergePlan::MergePlan(RunState& rs) {
  uint8_t* memory = rs.plan_memory.get();
  paths = reinterpret_cast<PathNode*>(memory);
  base_positions = reinterpret_cast<AirportPosition*>(memory);
  added_positions =
      reinterpret_cast<AddedPosition*>(memory + sizeof(AirportPosition) * kCatalogueCapacity);
  memory += kPlaceRoom;
  ledger = reinterpret_cast<LedgerEntry*>(memory);
  memory += sizeof(LedgerEntry) * kCatalogueCapacity;
  remarks = reinterpret_cast<Remark*>(memory);
  memory += sizeof(Remark) * kCatalogueCapacity;
  tree = reinterpret_cast<TreeNode*>(memory);
  slots = reinterpret_cast<PlanSlot*>(memory + sizeof(TreeNode) * kTreeNodes);
}

int plan_merge(RunState& rs, const uint8_t* base_image, MergePlan* plan) {
  Catalogue& catalogue = rs.catalogue;
  const std::size_t base_count = catalogue.count;
  plan->limit = Limit::kNone;
  plan->ledger_count = 0;
  if (take_source_facilities(rs, plan) == 0) return kExitNoMatch;
  if (plan->limit != Limit::kNone) return kExitTooManyRecords;
  place_added(catalogue, base_count, plan);
  plan->header_bounds = load_box(base_image + kFhBounds);
  const std::size_t positioned = widen_bounds(rs, plan);
  find_remarks(rs, plan, plan->added_positions, positioned);
  std::size_t first_list = 0;
  while (first_list < catalogue.count && !is_list_head(catalogue[first_list])) ++first_list;
  build_name_tree(catalogue, first_list, plan->tree);
  // Only the added facilities' slots are read before the filing sets them.
  constexpr PlanSlot kUnfiled{kNoNode, kNoPath, kNoPath};
  std::fill(plan->slots + plan->airports_at, plan->slots + plan->airports_at + plan->airports,
            kUnfiled);
  std::fill(plan->slots + plan->navaids_at, plan->slots + plan->navaids_at + plan->navaids,
            kUnfiled);
  plan->first_made = catalogue.count;
  plan->path_count = 0;
  plan->loose_list = kNoNode;
  file_added_facilities(rs, plan);
  return plan->limit == Limit::kNone ? kExitOk : kExitTooManyRecords;
}

namespace {

// The report's walk: the source's facilities in source order, each told its
// fate from the ledger and from cursors over the added facilities, which are
// in source order too.
class FateFinder {
 public:
  FateFinder(RunState& rs, const MergePlan& plan)
      : rs_(rs), plan_(plan), airport_(plan.airports_at), navaid_(plan.navaids_at) {}

  FacilityFate fate_of(const SourceFacility& f) {
    FacilityFate fate;
    fate.offset = f.offset;
    fate.subtype = f.subtype;
    const auto offset = static_cast<uint32_t>(f.offset);
    const LedgerEntry* noted = nullptr;
    while (next_ < plan_.ledger_count && plan_.ledger[next_].offset <= offset) {
      noted = &plan_.ledger[next_++];
    }
    if (noted != nullptr && noted->offset != offset) noted = nullptr;
    const TreeIndex added = added_here(f.subtype, offset);
    const Catalogue& catalogue = rs_.catalogue;
    if (added != kNoNode) {
      const PlanSlot& slot = plan_.slots[added];
      const bool unfiled = slot.own == kNoPath && slot.overridden == kNoPath;
      fate.fate = unfiled ? Fate::kAddedUnfiled : Fate::kAdded;
      fate.name = catalogue[added].name;
      if (noted != nullptr && noted->decision == Decision::kCandidate) fate.similar = noted->base;
      if (f.subtype == kSubtypeAirport) fate.remark = &plan_.remarks[added - plan_.airports_at];
    } else if (noted != nullptr && noted->decision == Decision::kReplaces) {
      const CatalogueEntry& base = catalogue[noted->base];
      fate.name = base.name;
      fate.fate = base.source_offset == offset ? Fate::kReplaced : Fate::kOverridden;
      fate.taken = base.source_offset;
    } else {
      decide_by_name(f, noted, &fate);
    }
    return fate;
  }

 private:
  // The added facility of `subtype` whose record is the one at `offset`.
  TreeIndex added_here(int32_t subtype, uint32_t offset) {
    const bool airport = subtype == kSubtypeAirport;
    std::size_t& at = airport ? airport_ : navaid_;
    const std::size_t end =
        airport ? plan_.airports_at + plan_.airports : plan_.navaids_at + plan_.navaids;
    while (at < end && rs_.catalogue[at].source_offset < offset) ++at;
    return at < end && rs_.catalogue[at].source_offset == offset ? static_cast<TreeIndex>(at)
                                                                 : kNoNode;
  }

  // A facility left out, or one beyond the ledger: its name is read again,
  // and the facility the plan took under it looked up.
  void decide_by_name(const SourceFacility& f, const LedgerEntry* noted, FacilityFate* fate) {
    Catalogue& catalogue = rs_.catalogue;
    std::size_t got = 0;
    const uint8_t* rec = rs_.second_input.view(f.offset, f.seen, rs_.object_buffer.get(), &got);
    fate->name = facility_name(rec, got);
    if (noted != nullptr && noted->decision == Decision::kBehindNavaid) {
      fate->fate = Fate::kBehindNavaid;
      return;
    }
    index_facility_names(catalogue);
    const CatalogueEntry* taken = replaced_by(catalogue, f.subtype, fate->name);
    if (taken == nullptr) {
      fate->fate = Fate::kBehindNavaid;
    } else if (taken->source_offset != f.offset || taken->origin != Origin::kSecondInput) {
      fate->fate = Fate::kOverridden;
      fate->taken = taken->source_offset;
    } else {
      fate->fate = Fate::kReplaced;  // beyond the ledger; an added one was found above
    }
  }

  RunState& rs_;
  const MergePlan& plan_;
  std::size_t next_ = 0;
  std::size_t airport_;
  std::size_t navaid_;
};

}  // namespace

void for_each_fate(RunState& rs, const MergePlan& plan,
                   const std::function<void(const FacilityFate&)>& visit) {
  FateFinder finder(rs, plan);
  for_each_source_facility(
      rs, rs.second_input,
      [&](const SourceFacility& f) {
        if (is_facility_subtype(f.subtype)) visit(finder.fate_of(f));
      },
      false);
}

}  // namespace quarnel
