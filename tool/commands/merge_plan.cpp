// The merge's plan for one source, made in four steps, each reading its input
// once:
//   1. the source's facilities are walked: each replaces the facility of the
//      result so far that a link (or, for a VOR or NDB, the first of its kind
//      and name) finds, is left out, or becomes a candidate entry at the
//      Catalogue's end;
//   2. the candidates that a later one of their kind and name overrides are
//      dropped, and the rest are added, airports first; the bounds grow by
//      the airports taken, and the report's notes are sought;
//   3. the source's name lists are walked, and of each added facility its
//      first entry is kept, with the places above it;
//   4. the added facilities, in source order, are filed under their places in
//      the name-list tree of the result so far, gaining the places it lacks.
// The result holds its facilities in the order for_each_held_facility visits
// them, the order a chain of single merges writes; the Catalogue keeps each
// where it was scanned or appended, so that nothing moves from one source to
// the next and the lookups over the base, built once, stay valid.
#include "commands/merge_plan.h"

#include <algorithm>
#include <cstring>

#include "commands/exit_codes.h"
#include "format/records.h"
#include "scan/lookup.h"
#include "scan/source_walk.h"

namespace quarnel {

namespace {

// --- the result's facilities, by name ----------------------------------------

// The base's lookups (lookup.h) are asked with the Catalogue's count set back
// to the base's: their indexes, built over the base once, stay valid while the
// merge appends behind it.
class BaseView {
 public:
  BaseView(Catalogue& catalogue, const MergePlan& plan)
      : catalogue_(catalogue), count_(catalogue.count) {
    catalogue.count = plan.base_count;
  }
  ~BaseView() { catalogue_.count = count_; }
  BaseView(const BaseView&) = delete;
  BaseView& operator=(const BaseView&) = delete;

 private:
  Catalogue& catalogue_;
  std::size_t count_;
};

constexpr std::size_t kAddedMask = kAddedSlots - 1;

std::size_t added_slot(int32_t kind, std::string_view name) {
  return (lookup_name_hash(name) ^ static_cast<uint32_t>(kind) * 0x9E3779B1u) & kAddedMask;
}

// An added facility of `kind` and `name`: there is one at most, since a later
// source replaces it rather than adding another.
CatalogueEntry* find_added(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                           std::string_view name) {
  for (std::size_t s = added_slot(kind, name);; s = (s + 1) & kAddedMask) {
    const uint16_t slot = plan.added_slots[s];
    if (slot == 0) return nullptr;
    CatalogueEntry& e = catalogue[slot - 1u];
    if (e.kind == kind && name == e.name) return &e;
  }
}

// The first added facility of `kind` whose name is alike `name`: names alike
// hash alike, and the added ones went in in the result's order, so the first
// met on the probe path is the first the result holds.
CatalogueEntry* find_added_alike(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                                 std::string_view name) {
  for (std::size_t s = added_slot(kind, name);; s = (s + 1) & kAddedMask) {
    const uint16_t slot = plan.added_slots[s];
    if (slot == 0) return nullptr;
    CatalogueEntry& e = catalogue[slot - 1u];
    if (e.kind == kind && names_alike(name, e.name)) return &e;
  }
}

void index_added(MergePlan* plan, const Catalogue& catalogue, std::size_t index) {
  const CatalogueEntry& e = catalogue[index];
  std::size_t s = added_slot(e.kind, e.name);
  while (plan->added_slots[s] != 0) s = (s + 1) & kAddedMask;
  plan->added_slots[s] = static_cast<uint16_t>(index + 1);
}

// What `find` answers of the base alone, the added entries hidden.
template <typename Find>
CatalogueEntry* in_base(Catalogue& catalogue, const MergePlan& plan, Find find) {
  const BaseView view(catalogue, plan);
  return find();
}

}  // namespace

// The base's come first in both: its leading airports stand before the added
// ones, and its VORs and NDBs before those added.
CatalogueEntry* replaced_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                                  std::string_view name) {
  CatalogueEntry* base = in_base(catalogue, plan, [&] {
    return kind == kSubtypeAirport ? find_airport_by_name(catalogue, kind, name)
                                   : find_facility_by_name(catalogue, kind, name);
  });
  return base != nullptr ? base : find_added(catalogue, plan, kind, name);
}

CatalogueEntry* held_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                              std::string_view name) {
  CatalogueEntry* base =
      in_base(catalogue, plan, [&] { return find_facility_by_name(catalogue, kind, name); });
  return base != nullptr ? base : find_added(catalogue, plan, kind, name);
}

// Of the base's first and the first added, the one the result holds first:
// an added airport stands before the base's airports behind its first VOR
// or NDB.
CatalogueEntry* alike_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                               std::string_view name) {
  CatalogueEntry* base =
      in_base(catalogue, plan, [&] { return find_facility_alike(catalogue, kind, name); });
  CatalogueEntry* added = find_added_alike(catalogue, plan, kind, name);
  if (base == nullptr || added == nullptr) return base != nullptr ? base : added;
  const auto index = [&](const CatalogueEntry* e) {
    return static_cast<std::size_t>(e - &catalogue[0]);
  };
  return plan.held_before(index(added), index(base), kind) ? added : base;
}

namespace {

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

// The candidates gather behind the Catalogue's count, which stays where it was
// until the walk is done.
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

// Marks what the source replaces and puts the candidates behind the
// Catalogue's entries. Returns the number of source facilities; sets the
// plan's limit when the candidates outgrow the Catalogue or their names
// NamePool.
int take_source_facilities(RunState& rs, MergePlan* plan) {
  Catalogue& catalogue = rs.catalogue;
  Candidates candidates{catalogue.count, catalogue.count};
  {
    const BaseView view(catalogue, *plan);
    index_facility_names(catalogue);
  }
  int facilities = 0;
  for_each_source_facility(rs.second_input, rs.object_buffer.get(), [&](const SourceFacility& f) {
    if (!is_facility_subtype(f.subtype)) return;
    ++facilities;
    if (plan->limit != Limit::kNone) return;
    if (CatalogueEntry* held = replaced_facility(catalogue, *plan, f.subtype, f.name)) {
      held->origin = Origin::kSecondInput;
      held->source_offset = static_cast<uint32_t>(f.offset);
      held->record_size = static_cast<uint32_t>(f.size);
      if (f.subtype == kSubtypeAirport) {
        // The entry's position and AI mark become the replacing record's,
        // for the bounds and the notes, from the bytes at hand.
        const auto index = static_cast<std::size_t>(held - &catalogue[0]);
        const AirportPosition was = plan->positions[index];
        bool ai = false;
        read_source_airport(rs, f, &plan->positions[index], &ai);
        held->flags = ai ? kFlagAiAirport : 0;
        index_moved_airport(catalogue, plan, index, was);
      }
      note(plan, f.offset, Decision::kReplaces, static_cast<std::size_t>(held - &catalogue[0]));
      return;
    }
    // A second airport of the name would be one that no link finds.
    if (f.subtype == kSubtypeAirport && held_facility(catalogue, *plan, f.subtype, f.name)) {
      note(plan, f.offset, Decision::kBehindNavaid);
      return;
    }
    // The facilities held are those before this source until the walk ends.
    const CatalogueEntry* alike = alike_facility(catalogue, *plan, f.subtype, f.name);
    note(plan, f.offset, Decision::kCandidate,
         alike != nullptr ? static_cast<std::size_t>(alike - &catalogue[0]) : kNoNode);
    plan->limit = add_candidate(rs, &candidates, f);
  });
  if (plan->limit == Limit::kNone)
    catalogue.count = drop_overridden(catalogue, candidates.first, candidates.end);
  return facilities;
}

// --- step 2: the added facilities ---------------------------------------------

// The candidates from `first` on are added where they stand, airports first.
void add_candidates(Catalogue& catalogue, std::size_t first, MergePlan* plan) {
  CatalogueEntry* added = &catalogue[0] + first;
  CatalogueEntry* end = &catalogue[0] + catalogue.count;
  CatalogueEntry* navaids = std::stable_partition(
      added, end, [](const CatalogueEntry& e) { return e.kind == kSubtypeAirport; });
  plan->airports_at = first;
  plan->airports = static_cast<std::size_t>(navaids - added);
  plan->navaids_at = first + plan->airports;
  plan->navaids = static_cast<std::size_t>(end - navaids);
  for (std::size_t i = first; i < catalogue.count; ++i) index_added(plan, catalogue, i);
}

// Calls `visit` with the index of each facility that this source replaced or
// added: from the ledger, or when it did not hold every decision, from every
// facility's origin.
template <typename Visit>
void for_each_taken(const Catalogue& catalogue, const MergePlan& plan, Visit visit) {
  if (plan.ledger_count < kCatalogueCapacity) {
    for (std::size_t k = 0; k < plan.ledger_count; ++k) {
      if (plan.ledger[k].decision == Decision::kReplaces) visit(std::size_t{plan.ledger[k].base});
    }
    for (std::size_t i = plan.airports_at; i < plan.navaids_at + plan.navaids; ++i) visit(i);
    return;
  }
  for (std::size_t i = 0; i < catalogue.count; ++i) {
    if (is_facility(catalogue[i]) && catalogue[i].origin == Origin::kSecondInput) visit(i);
  }
}

// An added airport's record, read as the scan reads records.
void read_added_airport(RunState& rs, const CatalogueEntry& e, AirportPosition* at, bool* ai) {
  std::size_t got = 0;
  const std::size_t seen =
      std::min<std::size_t>(e.record_size, kRecordHeadSize + kScanPayloadLimit);
  const uint8_t* rec = rs.second_input.view(e.source_offset, seen, rs.object_buffer.get(), &got);
  read_airport(rec, got, at, ai);
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
  // The replacing airports' positions and marks stand where the replaced
  // ones' stood.
  for_each_taken(catalogue, *plan, [&](std::size_t i) {
    const CatalogueEntry& e = catalogue[i];
    if (e.kind != kSubtypeAirport || plan->is_added(i)) return;
    widen(plan->positions[i], (e.flags & kFlagAiAirport) != 0);
  });
  std::size_t kept = 0;
  for (std::size_t i = plan->airports_at; i < plan->airports_at + plan->airports; ++i) {
    AirportPosition& at = plan->positions[i];
    bool ai = false;
    read_added_airport(rs, catalogue[i], &at, &ai);
    widen(at, ai);
    if (at.latitude != kNoPosition.latitude) {
      plan->added_positions[kept++] =
          AddedPosition{at, static_cast<uint32_t>(i - plan->airports_at)};
    }
  }
  return kept;
}

// What the plan keeps of the base, made once, before its first source.
void start_plan(RunState& rs, const uint8_t* base_image, MergePlan* plan) {
  const Catalogue& catalogue = rs.catalogue;
  plan->base_count = catalogue.count;
  std::size_t i = 0;
  while (i < catalogue.count && catalogue[i].kind == kSubtypeAirport) ++i;
  plan->base_leading = i;
  while (i < catalogue.count && is_facility(catalogue[i])) ++i;
  plan->base_facilities = i;
  while (i < catalogue.count && !is_list_head(catalogue[i])) ++i;
  plan->base_objects = i;
  plan->header_bounds = load_box(base_image + kFhBounds);
  std::fill(plan->inputs, plan->inputs + catalogue.count, kBaseInput);
  std::fill(plan->added_slots, plan->added_slots + kAddedSlots, uint16_t{0});
  plan->earlier_airports = 0;
  plan->earlier_navaids = 0;
  plan->band_index_made = false;
  build_name_tree(catalogue, plan->base_objects, plan->tree);
}

}  // namespace

namespace {

constexpr std::size_t aligned(std::size_t bytes) { return (bytes + 7) / 8 * 8; }

constexpr std::size_t kPlanLayoutSize =
    aligned(std::max(sizeof(PathNode), sizeof(AddedPosition)) * kCatalogueCapacity) +
    aligned(sizeof(AirportPosition) * kCatalogueCapacity) +
    aligned(sizeof(LedgerEntry) * kCatalogueCapacity) +
    aligned(sizeof(Remark) * kCatalogueCapacity) + aligned(kRemarkScratchSize) +
    aligned(sizeof(TreeNode) * kTreeNodes) + aligned(sizeof(RemarkSlot) * kRemarkSlots) +
    aligned(sizeof(PlanSlot) * kTreeNodes) + aligned(sizeof(InputNumber) * kCatalogueCapacity) +
    aligned(sizeof(TreeIndex) * kCatalogueCapacity) + aligned(sizeof(uint16_t) * kAddedSlots);
static_assert(kPlanLayoutSize <= kPlanMemorySize, "the merge's plan fits the run's plan memory");

}  // namespace

// The arrays in the plan memory, each on an 8-byte boundary.
MergePlan::MergePlan(RunState& rs) {
  uint8_t* memory = rs.plan_memory.get();
  const auto take = [&memory](std::size_t bytes) {
    uint8_t* block = memory;
    memory += aligned(bytes);
    return block;
  };
  paths = reinterpret_cast<PathNode*>(
      take(std::max(sizeof(PathNode), sizeof(AddedPosition)) * kCatalogueCapacity));
  added_positions = reinterpret_cast<AddedPosition*>(paths);
  positions =
      reinterpret_cast<AirportPosition*>(take(sizeof(AirportPosition) * kCatalogueCapacity));
  ledger = reinterpret_cast<LedgerEntry*>(take(sizeof(LedgerEntry) * kCatalogueCapacity));
  remarks = reinterpret_cast<Remark*>(take(sizeof(Remark) * kCatalogueCapacity));
  scratch = take(kRemarkScratchSize);
  tree = reinterpret_cast<TreeNode*>(take(sizeof(TreeNode) * kTreeNodes));
  band_slots = reinterpret_cast<RemarkSlot*>(take(sizeof(RemarkSlot) * kRemarkSlots));
  slots = reinterpret_cast<PlanSlot*>(take(sizeof(PlanSlot) * kTreeNodes));
  inputs = reinterpret_cast<InputNumber*>(take(sizeof(InputNumber) * kCatalogueCapacity));
  earlier = reinterpret_cast<TreeIndex*>(take(sizeof(TreeIndex) * kCatalogueCapacity));
  added_slots = reinterpret_cast<uint16_t*>(take(sizeof(uint16_t) * kAddedSlots));
}

int plan_merge(RunState& rs, const uint8_t* base_image, MergePlan* plan) {
  Catalogue& catalogue = rs.catalogue;
  if (plan->step == 0) start_plan(rs, base_image, plan);
  ++plan->step;
  const std::size_t first = catalogue.count;
  plan->limit = Limit::kNone;
  plan->ledger_count = 0;
  plan->airports = plan->navaids = 0;
  plan->airports_at = plan->navaids_at = first;
  if (take_source_facilities(rs, plan) == 0) return kExitNoMatch;
  if (plan->limit != Limit::kNone) return kExitTooManyRecords;
  add_candidates(catalogue, first, plan);
  const std::size_t positioned = widen_bounds(rs, plan);
  find_remarks(rs, plan, plan->added_positions, positioned);
  // Only the added facilities' slots are read before the filing sets them.
  constexpr PlanSlot kUnfiled{kNoNode, kNoPath, kNoPath};
  std::fill(plan->slots + first, plan->slots + catalogue.count, kUnfiled);
  plan->first_made = catalogue.count;
  plan->path_count = 0;
  plan->loose_list = kNoNode;
  file_added_facilities(rs, plan);
  return plan->limit == Limit::kNone ? kExitOk : kExitTooManyRecords;
}

// What this source took is from now on held: the next source finds the
// facilities it added among the result's, and the notes' index holds them.
void settle_source(RunState& rs, MergePlan* plan, bool more_follow) {
  Catalogue& catalogue = rs.catalogue;
  for_each_taken(catalogue, *plan, [&](std::size_t i) {
    CatalogueEntry& e = catalogue[i];
    e.origin = Origin::kFirstInput;
    plan->inputs[i] = plan->step;
    if (!more_follow || !plan->is_added(i)) return;
    const bool airport = e.kind == kSubtypeAirport;
    plan->earlier[airport ? plan->earlier_airports++
                          : kCatalogueCapacity - 1 - plan->earlier_navaids++] =
        static_cast<TreeIndex>(i);
    if (airport) index_added_airport(catalogue, plan, i);
  });
  std::fill(plan->inputs + plan->first_made, plan->inputs + catalogue.count, plan->step);
  plan->airports = plan->navaids = 0;
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
      fate.over = plan_.inputs[noted->base];
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
    const CatalogueEntry* taken = replaced_facility(catalogue, plan_, f.subtype, fate->name);
    if (taken == nullptr) {
      fate->fate = Fate::kBehindNavaid;
    } else if (taken->source_offset != f.offset || taken->origin != Origin::kSecondInput) {
      fate->fate = Fate::kOverridden;
      fate->taken = taken->source_offset;
    } else {
      fate->fate = Fate::kReplaced;  // beyond the ledger; an added one was found above
      fate->over = plan_.inputs[taken - &catalogue[0]];
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
      rs.second_input, rs.object_buffer.get(),
      [&](const SourceFacility& f) {
        if (is_facility_subtype(f.subtype)) visit(finder.fate_of(f));
      },
      false);
}

}  // namespace quarnel
