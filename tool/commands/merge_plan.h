// The merge's plan: which source facilities replace base facilities, which are
// added and where they stand, and the places under which each added facility
// is filed. The plan is made in the Catalogue itself: the added facilities and
// the name entries that file them become entries of it, in the places they
// take in the result, so that writing the Catalogue writes what the plan says,
// and a result too large for it is found before anything is written. The
// name-list tree, the places read from the source and the report's notes live
// in the run's plan memory.
#pragma once

#include <algorithm>
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

// A name entry of the source kept for the filing: a place an added facility is
// filed under, or the entry that files it, with the place above it; `name`
// lives in NamePool.
struct PathNode {
  uint32_t offset;
  int32_t level;
  PathIndex parent;  // the place above, kNoPath at the top
  // A place: its entry in the result, once a filing has found or made it
  // as the last of a facility's places.
  TreeIndex placed;
  const char* name;
};

// What the plan knows of each Catalogue entry beyond the entry itself.
struct PlanSlot {
  // A name entry the plan made: the facility it files, or kNoNode.
  TreeIndex files;
  // An added facility: the source entry that files it, the first of its own
  // and the first that files a facility of its kind and name that it
  // overrides; kNoPath for none.
  PathIndex own;
  PathIndex overridden;
};

// What the report says beside an added airport: the nearest base airport
// within kNearDegrees, if any, and how far it is.
struct Remark {
  TreeIndex near;
  float degrees;
};
constexpr double kNearDegrees = 0.01;

// What the walk of the source's facilities decided for one of them. The
// decisions are kept in source order, so that the report need not make them
// again; the plan memory holds kCatalogueCapacity of them, and facilities
// beyond are decided again from their names.
enum class Decision : uint8_t { kReplaces, kCandidate, kBehindNavaid };
struct LedgerEntry {
  uint32_t offset;
  // kReplaces: the base facility it replaces; kCandidate: the first base
  // facility of its kind whose name is alike its own (names_alike), or kNoNode.
  TreeIndex base;
  Decision decision;
};

// An added airport's position, and the index of its remark.
struct AddedPosition {
  AirportPosition at;
  uint32_t remark;
};

// The places read from the source share their room with the airports'
// positions, which are done with before the places are read.
constexpr std::size_t kPlaceRoom =
    std::max(sizeof(PathNode), sizeof(AirportPosition) + sizeof(AddedPosition)) *
    kCatalogueCapacity;

static_assert((sizeof(TreeNode) + sizeof(PlanSlot)) * kTreeNodes + kPlaceRoom +
                      (sizeof(LedgerEntry) + sizeof(Remark)) * kCatalogueCapacity <=
                  kPlanMemorySize,
              "the merge's plan fits the run's plan memory");

// The limit a plan outgrew, if any; either ends the merge with ExitCode 10.
enum class Limit : uint8_t {
  kNone,
  kRecords,   // the Catalogue, or the plan memory that holds one of a kind per slot
  kNamePool,  // NamePool
};

struct MergePlan {
  explicit MergePlan(RunState& rs);

  TreeNode* tree;
  PlanSlot* slots;
  PathNode* paths;
  std::size_t path_count = 0;
  LedgerEntry* ledger;
  std::size_t ledger_count = 0;
  // One per added airport.
  Remark* remarks;
  // The base airports' positions, by their Catalogue index before the added
  // facilities moved in (the scan keeps them there), a replaced one's the
  // replacing record's; then the added airports'. Both in the room of the
  // places, which are read later.
  AirportPosition* base_positions;
  AddedPosition* added_positions;

  // The added facilities, each kind in source order: the airports right
  // behind the base's leading airports, the VORs and NDBs behind its other
  // facilities.
  std::size_t airports_at = 0;
  std::size_t airports = 0;
  std::size_t navaids_at = 0;
  std::size_t navaids = 0;
  // The base's leading airports, and all its facilities, before the added
  // ones moved in among them.
  std::size_t base_leading = 0;
  std::size_t base_facilities = 0;
  // The Catalogue's entries from here on are name-list heads and entries the
  // plan made.
  std::size_t first_made = 0;
  // The list made for the added facilities that the source files under no
  // place, once there is one.
  TreeIndex loose_list = kNoNode;
  // The base's header bounds, widened to cover every airport of the result.
  CoverageBox header_bounds = kEmptyBox;
  Limit limit = Limit::kNone;

  bool is_added(std::size_t index) const {
    return (index >= airports_at && index < airports_at + airports) ||
           (index >= navaids_at && index < navaids_at + navaids);
  }
  // Where the base facility scanned at `index` stands once the added ones
  // moved in.
  std::size_t moved(std::size_t index) const {
    return index < base_leading      ? index
           : index < base_facilities ? index + airports
                                     : index + airports + navaids;
  }
};

// Steps 3 and 4 of the plan (merge_paths.cpp): the added facilities' entries
// and places read from the source's name lists, and each facility filed
// under its places. Sets the plan's limit when it outgrows one.
void file_added_facilities(RunState& rs, MergePlan* plan);

// The report's notes on the added airports (merge_remarks.cpp): the base
// airport near each. `added` are their positions, which merge_plan.cpp
// gathers.
void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count);

// Makes the plan for the base in the Catalogue (scanned whole, `base_image`
// its headers) and the source open as the second input. Returns kExitOk,
// kExitNoMatch when the source holds no facility, or kExitTooManyRecords when
// the result would not fit the Catalogue or its names NamePool (the plan's
// limit says which).
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
  // kAdded, kAddedUnfiled: a base facility of its kind whose name is alike,
  // and for an airport the nearest base airport.
  TreeIndex similar = kNoNode;
  const Remark* remark = nullptr;
};

// Calls `visit` for every source facility, in source order, with its fate
// under the plan made.
void for_each_fate(RunState& rs, const MergePlan& plan,
                   const std::function<void(const FacilityFate&)>& visit);

}  // namespace quarnel
