// The merge's plan: which source facilities replace base facilities, which are
// added and where they stand, and the name-list path under which each added
// facility is filed. The plan is made in the Catalogue itself: the added
// facilities and the name entries that file them become entries of it, in the
// places they take in the result, so that writing the Catalogue writes what
// the plan says, and a result too large for it is found before anything is
// written. The name-list tree and the paths read from the source live in the
// run's plan memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "format/coverage.h"
#include "scan/name_tree.h"
#include "scan/run_state.h"

namespace quarnel {

using PathIndex = uint16_t;
constexpr PathIndex kNoPath = 0xFFFF;

// A name entry of the source on the path of an added facility, with the node
// above it; `name` lives in NamePool.
struct PathNode {
  uint32_t offset;
  int32_t level;
  uint32_t link;  // the source's facility link, an offset in the source
  PathIndex parent;
  TreeIndex placed;  // the entry made from it, once there is one
  const char* name;
};

// What the plan knows of each Catalogue entry beyond the entry itself.
struct PlanSlot {
  // A name entry taken from the source: the facility it files, or kNoNode.
  TreeIndex files;
  // An added facility: the source entry that files it (the end of its path),
  // or kNoPath when the source files it nowhere.
  PathIndex path;
};

// What the walk of the source's facilities decided for one of them. The
// decisions are kept in source order, so that the report need not make them
// again; the plan memory holds kCatalogueCapacity of them, and facilities
// beyond are decided again from their names.
enum class Decision : uint8_t { kReplaces, kCandidate, kBehindNavaid };
struct LedgerEntry {
  uint32_t offset;
  TreeIndex base;  // kReplaces: the base facility it replaces
  Decision decision;
};

static_assert((sizeof(TreeNode) + sizeof(PlanSlot)) * kTreeNodes +
                      (sizeof(PathNode) + sizeof(LedgerEntry)) * kCatalogueCapacity <=
                  kPlanMemorySize,
              "the merge's plan fits the run's plan memory");

struct MergePlan {
  explicit MergePlan(RunState& rs);

  TreeNode* tree;
  PlanSlot* slots;
  PathNode* paths;
  std::size_t path_count = 0;
  LedgerEntry* ledger;
  std::size_t ledger_count = 0;

  // The added facilities, each kind in source order: the airports right
  // behind the base's leading airports, the VORs and NDBs behind its other
  // facilities.
  std::size_t airports_at = 0;
  std::size_t airports = 0;
  std::size_t navaids_at = 0;
  std::size_t navaids = 0;
  // The Catalogue's entries from here on are name-list heads and entries the
  // plan made.
  std::size_t first_made = 0;
  // The base's header bounds, widened to cover the added airports.
  CoverageBox header_bounds = kEmptyBox;

  bool is_added(std::size_t index) const {
    return (index >= airports_at && index < airports_at + airports) ||
           (index >= navaids_at && index < navaids_at + navaids);
  }
};

// What a step that may outgrow the Catalogue, NamePool or the plan memory
// returns: false when it did, and the plan ends with kExitTooManyRecords.
using Fits = bool;

// Steps 3 and 4 of the plan (merge_filing.cpp): the added facilities' paths
// read from the source's name lists, and each facility filed under its path.
Fits file_added_facilities(RunState& rs, MergePlan* plan);

// Makes the plan for the base in the Catalogue (scanned whole, `base_image`
// its headers) and the source open as the second input. Returns kExitOk,
// kExitNoMatch when the source holds no facility, or kExitTooManyRecords when
// the result would not fit the Catalogue (or its names NamePool).
int plan_merge(RunState& rs, const uint8_t* base_image, MergePlan* plan);

// What the merge does with a source facility.
enum class Fate {
  kReplaced,
  kAdded,
  kAddedUnfiled,  // added without a name entry: the source files it nowhere
  kOverridden,    // a later facility of its kind and name is taken instead
  kBehindNavaid,  // the base holds its name only behind the first VOR or NDB
};

struct FacilityFate {
  uint64_t offset = 0;
  int32_t subtype = 0;
  std::string_view name;  // valid only while the visit runs
  Fate fate = Fate::kReplaced;
  uint32_t taken = 0;  // kOverridden: the offset of the facility taken instead
};

// Calls `visit` for every source facility, in source order, with its fate
// under the plan made.
void for_each_fate(RunState& rs, const MergePlan& plan,
                   const std::function<void(const FacilityFate&)>& visit);

}  // namespace quarnel
