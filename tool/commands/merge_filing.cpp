// The merge's steps 3 and 4 (merge_plan.cpp has the whole order): the paths
// of the added facilities read from the source's name lists, then each added
// facility filed under its path in the base's name-list tree.
#include <algorithm>
#include <cstring>

#include "commands/merge_plan.h"
#include "format/records.h"
#include "scan/lookup.h"
#include "scan/record_walk.h"

namespace quarnel {

namespace {

// Path levels above a facility's entry that the source walk follows; sound
// files have five at most (a list's region, country, state and city, and an
// airport above its navaids).
constexpr int kMaxPathDepth = 16;

bool has_room(const Catalogue& catalogue) { return catalogue.count < kCatalogueCapacity; }

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

// The base facility that the source's record at `offset` replaces, or kNoNode.
TreeIndex replaced_at(const Catalogue& catalogue, const MergePlan& plan, uint32_t offset) {
  const LedgerEntry* begin = plan.ledger;
  const LedgerEntry* end = begin + plan.ledger_count;
  const LedgerEntry* e = std::lower_bound(
      begin, end, offset, [](const LedgerEntry& x, uint32_t o) { return x.offset < o; });
  if (e != end && e->offset == offset) {
    const bool replaces =
        e->decision == Decision::kReplaces && catalogue[e->base].source_offset == offset;
    return replaces ? e->base : kNoNode;
  }
  if (plan.ledger_count < kCatalogueCapacity) return kNoNode;
  // Past a full ledger, the base facilities are asked themselves.
  for (std::size_t i = 0; i < catalogue.count && is_facility(catalogue[i]); ++i) {
    const CatalogueEntry& b = catalogue[i];
    if (b.origin == Origin::kSecondInput && b.source_offset == offset && !plan.is_added(i)) {
      return static_cast<TreeIndex>(i);
    }
  }
  return kNoNode;
}

// The facility of the result whose record is the source's at `offset`: an
// added one, or a base facility it replaces; kNoNode for any other offset.
TreeIndex taken_at(const Catalogue& catalogue, const MergePlan& plan, uint32_t offset) {
  if (offset == 0) return kNoNode;
  const TreeIndex added = added_at(catalogue, plan, offset);
  return added != kNoNode ? added : replaced_at(catalogue, plan, offset);
}

// --- step 3: the paths in the source's name lists --------------------------

struct SourceEntry {
  int32_t level = 0;
  uint32_t link = 0;
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
  entry.link = field_u32(rec, len, kNeFacilityOffset);
  if (len > kNeName) entry.name = bounded_text({rec + kNeName, len - kNeName});
  return entry;
}

struct StackSlot {
  uint32_t offset;
  int32_t level;
  PathIndex node;  // kNoPath until the entry is kept
};

class PathCollector {
 public:
  PathCollector(RunState& rs, MergePlan* plan) : rs_(rs), plan_(plan) {}

  // Walks the source's name-list chain. False when the paths outgrow the plan.
  Fits collect() {
    InputFile& in = rs_.second_input;
    uint8_t image[kHeaderImageSize] = {};
    in.read_at(0, image, kHeaderImageSize);
    uint64_t pos = get_u32(image + kFileHeaderSize + kShNameListOffset);
    // The chain ends where the scan's chain ends.
    while (head_room(pos, in.size()) == WalkEnd::kEndRecord) {
      uint8_t head[kNameListHeadSize];
      if (in.read_at(pos, head, kRecordHeadSize) < kRecordHeadSize) break;
      const int32_t size = get_i32(head + kRecSize);
      if (get_u32(head + kRecType) == kTypeNameListHead) {
        if (in.read_at(pos + kRecordHeadSize, head + kRecordHeadSize,
                       kNameListHeadSize - kRecordHeadSize) < kNameListHeadSize - kRecordHeadSize) {
          break;
        }
        const uint64_t extent =
            size > 0 ? pos + kRecordHeadSize + static_cast<uint64_t>(size) : in.size();
        if (!collect_list(pos + kNameListHeadSize, std::min(extent, in.size()))) return false;
      }
      if (size <= 0) break;
      pos += kRecordHeadSize + static_cast<uint64_t>(size);
    }
    return true;
  }

 private:
  Fits collect_list(uint64_t start, uint64_t limit) {
    RecordWalk walk(rs_.second_input, rs_.object_buffer.get(), start, limit);
    WalkRecord record;
    int depth = 0;
    while (walk.next(&record)) {
      if (record.type == kTypeNameEntry) {
        std::size_t got = 0;
        const uint8_t* rec = walk.view(record, std::min(record.whole, kNeName), &got);
        if (rec == nullptr) break;
        const int32_t level = field_i32(rec, got, kNeNameKind);
        const uint32_t link = field_u32(rec, got, kNeFacilityOffset);
        while (depth > 0 && stack_[depth - 1].level >= level) --depth;
        // Deeper than the stack holds: the rest of the list is not followed.
        if (depth == kMaxPathDepth) break;
        StackSlot& slot = stack_[depth];
        slot = StackSlot{static_cast<uint32_t>(record.pos), level, kNoPath};
        const TreeIndex facility = link != 0 ? added_at(rs_.catalogue, *plan_, link) : kNoNode;
        if (facility != kNoNode && plan_->slots[facility].path == kNoPath) {
          if (!keep_path(depth)) return false;
          plan_->slots[facility].path = slot.node;
        }
        ++depth;
      }
      walk.step(record);
    }
    return true;
  }

  // Keeps the entries of the stack up to `top` that are not kept yet.
  Fits keep_path(int top) {
    for (int d = 0; d <= top; ++d) {
      StackSlot& slot = stack_[d];
      if (slot.node != kNoPath) continue;
      if (plan_->path_count == kCatalogueCapacity) return false;
      const SourceEntry entry = read_source_entry(rs_, slot.offset);
      const char* name = add_name(rs_.catalogue, entry.name, false);
      if (name == nullptr) return false;
      const PathIndex parent = d > 0 ? stack_[d - 1].node : kNoPath;
      slot.node = static_cast<PathIndex>(plan_->path_count++);
      plan_->paths[slot.node] =
          PathNode{slot.offset, entry.level, entry.link, parent, kNoNode, name};
    }
    return true;
  }

  RunState& rs_;
  MergePlan* plan_;
  StackSlot stack_[kMaxPathDepth];
};

// --- step 4: filing the added facilities -----------------------------------

class Filer {
 public:
  Filer(RunState& rs, MergePlan* plan) : catalogue_(rs.catalogue), plan_(plan) {}

  Fits file(TreeIndex facility) {
    const PathIndex end = plan_->slots[facility].path;
    if (end == kNoPath) return true;  // added without a name entry
    // Filed already, as a level of an earlier facility's path.
    if (plan_->paths[end].placed != kNoNode) return true;
    PathIndex levels[kMaxPathDepth];
    int k = 0;
    for (PathIndex p = plan_->paths[end].parent; p != kNoPath; p = plan_->paths[p].parent) {
      levels[k++] = p;
    }
    std::reverse(levels, levels + k);
    int depth = 0;
    TreeIndex under = deepest_match(levels, k, &depth);
    if (under == kNoNode || (k > 0 && depth == 0)) {
      under = make_entry(kTreeRoot, kNoPath);
      depth = 0;
    }
    for (; depth < k && under != kNoNode; ++depth) under = make_entry(under, levels[depth]);
    return under != kNoNode && make_entry(under, end) != kNoNode;
  }

 private:
  // The node where the path goes deepest in one list, the earliest list on a
  // tie; kNoNode when there is no list.
  TreeIndex deepest_match(const PathIndex* levels, int k, int* depth) const {
    TreeIndex best = kNoNode;
    const TreeNode* tree = plan_->tree;
    for (TreeIndex head = tree[kTreeRoot].first_child; head != kNoNode;
         head = tree[head].next_sibling) {
      TreeIndex node = head;
      int d = 0;
      for (; d < k; ++d) {
        const PathNode& level = plan_->paths[levels[d]];
        const TreeIndex child = find_child(catalogue_, tree, node, level.level, level.name);
        if (child == kNoNode) break;
        node = child;
      }
      if (best == kNoNode || d > *depth) {
        best = node;
        *depth = d;
        if (d == k) break;
      }
    }
    return best;
  }

  // A new entry filed last under `parent`: a list head when `from` is
  // kNoPath, else the source's name entry `from`. kNoNode when the Catalogue
  // is full.
  TreeIndex make_entry(TreeIndex parent, PathIndex from) {
    if (!has_room(catalogue_)) return kNoNode;
    const auto index = static_cast<TreeIndex>(catalogue_.count++);
    CatalogueEntry& e = catalogue_[index];
    e = CatalogueEntry{};
    plan_->slots[index] = PlanSlot{kNoNode, kNoPath};
    plan_->tree[index] = TreeNode{kNoNode, kNoNode, kNoNode, kNoNode};
    if (from == kNoPath) {
      e.kind = static_cast<int32_t>(kTypeNameListHead);
      e.name = "";
    } else {
      PathNode& node = plan_->paths[from];
      e.kind = static_cast<int32_t>(kTypeNameEntry);
      e.name_kind = node.level;
      e.source_offset = node.offset;
      e.facility_offset = node.link;
      e.origin = Origin::kSecondInput;
      e.name = node.name;
      node.placed = index;
      plan_->slots[index].files = taken_at(catalogue_, *plan_, node.link);
    }
    append_child(plan_->tree, parent, index);
    return index;
  }

  Catalogue& catalogue_;
  MergePlan* plan_;
};

// Files every added facility, in source order.
Fits file_added(RunState& rs, MergePlan* plan) {
  Filer filer(rs, plan);
  std::size_t a = plan->airports_at;
  std::size_t v = plan->navaids_at;
  const std::size_t a_end = a + plan->airports;
  const std::size_t v_end = v + plan->navaids;
  while (a < a_end || v < v_end) {
    const bool airport =
        v == v_end || (a < a_end && rs.catalogue[a].source_offset < rs.catalogue[v].source_offset);
    if (!filer.file(static_cast<TreeIndex>(airport ? a++ : v++))) return false;
  }
  return true;
}

}  // namespace

Fits file_added_facilities(RunState& rs, MergePlan* plan) {
  PathCollector paths(rs, plan);
  return paths.collect() && file_added(rs, plan);
}

}  // namespace quarnel
