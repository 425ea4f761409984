// The merge's steps 3 and 4 (merge_plan.cpp has the whole order): the entry
// that files each added facility in the source, with the places above it,
// read from the source's name lists; then each added facility filed under its
// places in the name-list tree of the result so far, where merge_filing.h says.
#include <algorithm>
#include <cstring>

#include "commands/merge_filing.h"
#include "commands/merge_plan.h"
#include "format/records.h"
#include "scan/filing.h"
#include "scan/record_walk.h"

namespace quarnel {

namespace {

// Places above an entry that the source walk follows; sound files have four
// at most (a list's region, country, state and city).
constexpr int kMaxPlaces = 16;

// The added facility whose record is the source's at `offset`, or kNoNode.
TreeIndex added_at(const Catalogue& catalogue, const MergePlan& plan, uint32_t offset) {
  const auto find = [&](std::size_t at, std::size_t n) -> TreeIndex {
    if (n == 0) return kNoNode;
    const CatalogueEntry* begin = &catalogue[at];
    const CatalogueEntry* end = begin + n;
    const CatalogueEntry* e =
        std::lower_bound(begin, end, offset,
                         [](const CatalogueEntry& c, uint32_t o) { return c.source_offset < o; });
    return e != end && e->source_offset == offset ? static_cast<TreeIndex>(e - &catalogue[0])
                                                  : kNoNode;
  };
  const TreeIndex airport = find(plan.airports_at, plan.airports);
  return airport != kNoNode ? airport : find(plan.navaids_at, plan.navaids);
}

// The added facility that overrides the source's candidate at `offset`, a
// later one of its kind and name, or kNoNode.
TreeIndex overriding_at(RunState& rs, const MergePlan& plan, uint32_t offset) {
  const LedgerEntry* begin = plan.ledger;
  const LedgerEntry* end = begin + plan.ledger_count;
  const LedgerEntry* noted = std::lower_bound(
      begin, end, offset, [](const LedgerEntry& x, uint32_t o) { return x.offset < o; });
  if (noted == end || noted->offset != offset || noted->decision != Decision::kCandidate) {
    return kNoNode;
  }
  InputFile& in = rs.second_input;
  uint8_t head[kRecordHeadSize];
  if (in.read_at(offset, head, kRecordHeadSize) < kRecordHeadSize) return kNoNode;
  const int32_t size = get_i32(head + kRecSize);
  const std::size_t whole =
      kRecordHeadSize +
      (size > 0 ? std::min<std::size_t>(static_cast<uint32_t>(size), kScanPayloadLimit) : 0);
  std::size_t got = 0;
  const uint8_t* rec = in.view(offset, whole, rs.object_buffer.get(), &got);
  Catalogue& catalogue = rs.catalogue;
  const CatalogueEntry* taken =
      held_facility(catalogue, plan, field_i32(rec, got, kContSubtype), facility_name(rec, got));
  if (taken == nullptr) return kNoNode;
  const auto index = static_cast<std::size_t>(taken - &catalogue[0]);
  return plan.is_added(index) ? static_cast<TreeIndex>(index) : kNoNode;
}

// --- step 3: the entries and places in the source's name lists -------------

struct SourceEntry {
  int32_t level = 0;
  std::string_view name;
};

// The name entry of the source at `offset`, whose record a walk has seen.
SourceEntry read_source_entry(RunState& rs, uint64_t offset) {
  InputFile& in = rs.second_input;
  uint8_t head[kRecordHeadSize];
  SourceEntry entry;
  if (in.read_at(offset, head, kRecordHeadSize) < kRecordHeadSize) return entry;
  const int32_t declared = get_i32(head + kRecSize);
  const std::size_t size =
      declared > 0 ? std::min<std::size_t>(static_cast<uint32_t>(declared), kScanPayloadLimit) : 0;
  std::size_t len = 0;
  const uint8_t* rec = in.view(offset, kRecordHeadSize + size, rs.object_buffer.get(), &len);
  entry.level = field_i32(rec, len, kNeNameKind);
  if (len > kNeName) entry.name = bounded_text({rec + kNeName, len - kNeName});
  return entry;
}

struct StackSlot {
  uint32_t offset;
  int32_t level;
  PathIndex node;  // kNoPath until the place is kept
};

class PlaceCollector {
 public:
  PlaceCollector(RunState& rs, MergePlan* plan) : rs_(rs), plan_(plan) {}

  // Walks the source's name-list chain.
  Limit collect() {
    InputFile& in = rs_.second_input;
    uint8_t image[kHeaderImageSize] = {};
    in.read_at(0, image, kHeaderImageSize);
    // The chain ends where the scan's chain ends.
    NameListChain chain(in, name_list_offset(image));
    ChainRecord record;
    while (chain.next(&record)) {
      if (record.is_head) {
        const Limit limit = collect_list(record.entries, record.entries_limit);
        if (limit != Limit::kNone) return limit;
      }
      if (!chain.step(record)) break;
    }
    return Limit::kNone;
  }

 private:
  // The places of each entry are those on the stack once the entries of its
  // level and above are off it: the level rule, read as the entries come.
  // Facility entries never go on it.
  Limit collect_list(uint64_t start, uint64_t limit) {
    RecordWalk walk(rs_.second_input, rs_.object_buffer.get(), start, limit);
    WalkRecord record;
    stack_.clear();
    while (walk.next(&record)) {
      if (record.type == kTypeNameEntry) {
        std::size_t got = 0;
        const uint8_t* rec = walk.view(record, std::min(record.whole, kNeName), &got);
        if (rec == nullptr) break;
        const int32_t level = field_i32(rec, got, kNeNameKind);
        const uint32_t link = field_u32(rec, got, kNeFacilityOffset);
        const auto offset = static_cast<uint32_t>(record.pos);
        const int depth = stack_.settle(level);
        PathIndex node = kNoPath;
        if (link != 0) {
          const Limit outgrown = take_entry(offset, link, depth, &node);
          if (outgrown != Limit::kNone) return outgrown;
        }
        if (is_place_level(level)) {
          // More places than the stack holds: the rest of the list is not followed.
          if (!stack_.push(StackSlot{offset, level, node})) break;
        }
      }
      walk.step(record);
    }
    return Limit::kNone;
  }

  // The entry at `offset`, under the `depth` places on the stack, files the
  // source facility at `link`: it is kept, with its places, as the entry of
  // the added facility that is that one or overrides it, unless that facility
  // has such an entry already.
  Limit take_entry(uint32_t offset, uint32_t link, int depth, PathIndex* node) {
    bool own = true;
    TreeIndex facility = added_at(rs_.catalogue, *plan_, link);
    if (facility == kNoNode) {
      own = false;
      facility = overriding_at(rs_, *plan_, link);
      if (facility == kNoNode) return Limit::kNone;
    }
    PlanSlot& slot = plan_->slots[facility];
    PathIndex& entry = own ? slot.own : slot.overridden;
    if (entry != kNoPath) return Limit::kNone;
    for (int d = 0; d < depth; ++d) {
      StackSlot& place = stack_[d];
      if (place.node != kNoPath) continue;
      const Limit limit = keep(place.offset, d > 0 ? stack_[d - 1].node : kNoPath, &place.node);
      if (limit != Limit::kNone) return limit;
    }
    const Limit limit = keep(offset, depth > 0 ? stack_[depth - 1].node : kNoPath, &entry);
    *node = entry;
    return limit;
  }

  Limit keep(uint32_t offset, PathIndex parent, PathIndex* node) {
    if (plan_->path_count == kCatalogueCapacity) return Limit::kRecords;
    const SourceEntry entry = read_source_entry(rs_, offset);
    const char* name = add_name(rs_.catalogue, entry.name, false);
    if (name == nullptr) return Limit::kNamePool;
    *node = static_cast<PathIndex>(plan_->path_count++);
    plan_->paths[*node] = PathNode{offset, entry.level, parent, kNoNode, name};
    return Limit::kNone;
  }

  RunState& rs_;
  MergePlan* plan_;
  FilingStack<StackSlot, kMaxPlaces> stack_;
};

// --- step 4: filing the added facilities -----------------------------------

class Filer {
 public:
  Filer(RunState& rs, MergePlan* plan) : catalogue_(rs.catalogue), plan_(plan) {}

  // Files `facility` under the places of its entry, making the places the
  // base lacks, and its entry.
  Limit file(TreeIndex facility) {
    const PlanSlot& slot = plan_->slots[facility];
    const PathIndex entry = slot.own != kNoPath ? slot.own : slot.overridden;
    if (entry == kNoPath) return Limit::kNone;  // added without a name entry
    PathIndex chain[kMaxPlaces];
    Place places[kMaxPlaces];
    int count = 0;
    for (PathIndex p = plan_->paths[entry].parent; p != kNoPath; p = plan_->paths[p].parent) {
      chain[count++] = p;
    }
    std::reverse(chain, chain + count);
    for (int d = 0; d < count; ++d) places[d] = Place{path(chain[d]).level, path(chain[d]).name};
    const int32_t level = path(entry).level;
    Insertion at;
    if (count == 0) {
      // Those filed under no place share one new list.
      if (plan_->loose_list == kNoNode) plan_->loose_list = make_head();
      if (plan_->loose_list == kNoNode) return Limit::kRecords;
      at.spot = spot_under(catalogue_, plan_->tree, plan_->loose_list, level);
    } else if (path(chain[count - 1]).placed != kNoNode) {
      // Found or made for an earlier facility: a search now finds the same.
      at.place = path(chain[count - 1]).placed;
      at.matched = count;
      at.spot = spot_under(catalogue_, plan_->tree, at.place, level);
    } else {
      at = find_insertion(catalogue_, plan_->tree, places, count, level);
      if (at.matched == 0) at.spot = Spot{make_head(), kNoNode};
      if (at.spot.parent == kNoNode) return Limit::kRecords;
    }
    Spot spot = at.spot;
    for (int d = at.matched; d < count; ++d) {
      const TreeIndex made = make_entry(chain[d], kNoNode);
      if (made == kNoNode) return Limit::kRecords;
      insert_child(plan_->tree, spot.parent, spot.after, made);
      spot = Spot{made, kNoNode};
      at.place = made;
    }
    if (count > 0) path(chain[count - 1]).placed = at.place;
    const TreeIndex made = make_entry(entry, facility);
    if (made == kNoNode) return Limit::kRecords;
    insert_child(plan_->tree, spot.parent, spot.after, made);
    return Limit::kNone;
  }

 private:
  PathNode& path(PathIndex p) { return plan_->paths[p]; }

  // A new Catalogue entry and its node, not yet in the tree; kNoNode when the
  // Catalogue is full.
  TreeIndex make_node() {
    if (catalogue_.count >= kCatalogueCapacity) return kNoNode;
    const auto index = static_cast<TreeIndex>(catalogue_.count++);
    catalogue_[index] = CatalogueEntry{};
    plan_->slots[index] = PlanSlot{kNoNode, kNoPath, kNoPath};
    plan_->tree[index] = TreeNode{kNoNode, kNoNode, kNoNode, kNoNode};
    return index;
  }

  // A new list, behind the others.
  TreeIndex make_head() {
    const TreeIndex index = make_node();
    if (index == kNoNode) return kNoNode;
    catalogue_[index].kind = static_cast<int32_t>(kTypeNameListHead);
    catalogue_[index].name = "";
    append_child(plan_->tree, kTreeRoot, index);
    return index;
  }

  // The source's entry `from`, copied; it links `files` (kNoNode: nothing).
  // A place links nothing: places are never facilities.
  TreeIndex make_entry(PathIndex from, TreeIndex files) {
    const TreeIndex index = make_node();
    if (index == kNoNode) return kNoNode;
    const PathNode& node = path(from);
    CatalogueEntry& e = catalogue_[index];
    e.kind = static_cast<int32_t>(kTypeNameEntry);
    e.name_kind = node.level;
    e.source_offset = node.offset;
    e.origin = Origin::kSecondInput;
    e.name = node.name;
    plan_->slots[index].files = files;
    return index;
  }

  Catalogue& catalogue_;
  MergePlan* plan_;
};

// Files every added facility, in source order.
Limit file_added(RunState& rs, MergePlan* plan) {
  Filer filer(rs, plan);
  std::size_t a = plan->airports_at;
  std::size_t v = plan->navaids_at;
  const std::size_t a_end = a + plan->airports;
  const std::size_t v_end = v + plan->navaids;
  while (a < a_end || v < v_end) {
    const bool airport =
        v == v_end || (a < a_end && rs.catalogue[a].source_offset < rs.catalogue[v].source_offset);
    const Limit limit = filer.file(static_cast<TreeIndex>(airport ? a++ : v++));
    if (limit != Limit::kNone) return limit;
  }
  return Limit::kNone;
}

}  // namespace

void file_added_facilities(RunState& rs, MergePlan* plan) {
  PlaceCollector places(rs, plan);
  plan->limit = places.collect();
  if (plan->limit == Limit::kNone) plan->limit = file_added(rs, plan);
}

}  // namespace quarnel
