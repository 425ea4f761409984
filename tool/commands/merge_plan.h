// The merge's plan: which source facilities replace facilities of the result
// so far, which are added and where they are filed. A run merges its sources
// one after another, each into the result of those before, as a chain of
// single merges would, but over one reading of the base: the plan is made in
// the Catalogue itself, where the base's entries stay where the scan put them
// and each source's added facilities, then the name entries that file them,
// are appended behind. The name-list tree, the source places, the report's
// notes and what is kept of each entry from one source to the next live in
// the run's plan memory; so a result too large is found before anything is
// written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "commands/run_state.h"
#include "format/coverage.h"
#include "scan/name_tree.h"
#include "scan/source_walk.h"

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
  // An added facility, while its source is merged: the source entry that
  // files it, the first of its own and the first that files a facility of
  // its kind and name that it overrides; kNoPath for none.
  PathIndex own;
  PathIndex overridden;
};

// What the report says beside an added airport: the nearest airport of the
// result so far within kNearDegrees, if any, and how far it is.
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
  // kReplaces: the facility it replaces; kCandidate: the first facility of
  // its kind in the result so far whose name is alike its own (names_alike),
  // or kNoNode.
  TreeIndex base;
  Decision decision;
};

// An added airport's position, and the index of its remark.
struct AddedPosition {
  AirportPosition at;
  uint32_t remark;
};

// Which input an entry's bytes are read from: the base, or the n-th source
// (1 for the first).
using InputNumber = uint16_t;
constexpr InputNumber kBaseInput = 0;
// More sources than a run takes: a number for each fits InputNumber.
constexpr std::size_t kMaxSources = 10000;

// The slots of the index of added facilities by kind and name: a power of two
// with room for half as many again as the Catalogue holds.
constexpr std::size_t kAddedSlots = 32768;
static_assert(kAddedSlots >= kCatalogueCapacity + kCatalogueCapacity / 2, "short probe paths");

// The room the notes' search takes in the plan memory.
constexpr std::size_t kRemarkScratchSize = 2 * kCatalogueCapacity;

// A slot of the notes' index: a key, and a Catalogue index + 1 (0: free).
struct RemarkSlot {
  uint32_t key;
  uint16_t entry;
};
constexpr std::size_t kRemarkSlots = 32768;

// The limit a plan outgrew, if any; either ends the merge with ExitCode 10.
enum class Limit : uint8_t {
  kNone,
  kRecords,   // the Catalogue, or the plan memory that holds one of a kind per slot
  kNamePool,  // NamePool
};

struct MergePlan {
  explicit MergePlan(RunState& rs);

  // --- kept from one source to the next, by Catalogue index ---
  TreeNode* tree;
  PlanSlot* slots;
  InputNumber* inputs;
  // An airport's position in the result so far (kNoPosition for none): the
  // scan's for the base's, the record's it was last taken from for the others.
  AirportPosition* positions;
  // The facilities earlier sources added, in the order they were added: the
  // airports from the front, the VORs and NDBs from the back.
  TreeIndex* earlier;
  std::size_t earlier_airports = 0;
  std::size_t earlier_navaids = 0;
  // The notes' index of the airports held (merge_remarks.cpp), by latitude
  // band, once a source has added an airport.
  RemarkSlot* band_slots;
  std::size_t bands_filled = 0;
  bool band_index_made = false;
  // Every added facility, by kind and name: Catalogue index + 1, 0 for none.
  uint16_t* added_slots;

  // --- made again for each source ---
  PathNode* paths;
  std::size_t path_count = 0;
  LedgerEntry* ledger;
  std::size_t ledger_count = 0;
  // One per added airport.
  Remark* remarks;
  // The added airports' positions, in the room of the places, which are read
  // later.
  AddedPosition* added_positions;
  // Room for the notes' search (merge_remarks.cpp).
  uint8_t* scratch;

  // The base as scanned: its entries, the leading airports, the facilities
  // before its first other entry, and the entries before its first list.
  std::size_t base_count = 0;
  std::size_t base_leading = 0;
  std::size_t base_facilities = 0;
  std::size_t base_objects = 0;
  // The source being merged, 1 for the first; 0 before any.
  InputNumber step = 0;

  // The facilities this source adds, each kind in source order, behind the
  // Catalogue's entries as they were: airports first, then VORs and NDBs.
  std::size_t airports_at = 0;
  std::size_t airports = 0;
  std::size_t navaids_at = 0;
  std::size_t navaids = 0;
  // The Catalogue's entries from here on are name-list heads and entries made
  // for this source.
  std::size_t first_made = 0;
  // The list made for the added facilities that the source files under no
  // place, once there is one.
  TreeIndex loose_list = kNoNode;
  // The base's header bounds, widened to cover every airport of the result.
  CoverageBox header_bounds = kEmptyBox;
  // The base's trailer word, which the result keeps.
  int32_t trailer_word = kNoTrailerWord;
  Limit limit = Limit::kNone;

  bool is_added(std::size_t index) const {
    return (index >= airports_at && index < airports_at + airports) ||
           (index >= navaids_at && index < navaids_at + navaids);
  }
  // Whether the facility of `kind` at Catalogue index `a` stands before the
  // one of that kind at `b` in the result (for_each_held_facility's order).
  bool held_before(std::size_t a, std::size_t b, int32_t kind) const {
    const int added = kind == kSubtypeAirport ? 1 : 3;
    const auto rank = [&](std::size_t i) {
      const int group = i < base_leading ? 0 : i < base_count ? 2 : added;
      return std::pair<int, std::size_t>(group, i);
    };
    return rank(a) < rank(b);
  }
  // An entry made by some source's merge, not scanned from the base.
  bool is_made_by_merge(std::size_t index) const { return index >= base_count; }
};

// The facility of `kind` and `name` of the result so far that a source
// facility of them replaces: an airport among the leading airports, a VOR or
// NDB the first of its kind. Null when there is none.
CatalogueEntry* replaced_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                                  std::string_view name);
// The first facility of `kind` and `name` in the result so far, or null.
CatalogueEntry* held_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                              std::string_view name);
// The first facility of `kind` in the result so far whose name is alike
// `name` (names_alike), or null.
CatalogueEntry* alike_facility(Catalogue& catalogue, const MergePlan& plan, int32_t kind,
                               std::string_view name);

// Calls `visit` with the Catalogue index of each facility of the result so
// far, before this source's, in the order the result holds them: the base's
// leading airports, the airports added since, the base's other facilities up
// to its first other entry, and the VORs and NDBs added since.
template <typename Visit>
void for_each_held_facility(const MergePlan& plan, Visit visit) {
  for (std::size_t i = 0; i < plan.base_leading; ++i) visit(i);
  for (std::size_t k = 0; k < plan.earlier_airports; ++k) visit(std::size_t{plan.earlier[k]});
  for (std::size_t i = plan.base_leading; i < plan.base_facilities; ++i) visit(i);
  for (std::size_t k = 0; k < plan.earlier_navaids; ++k)
    visit(std::size_t{plan.earlier[kCatalogueCapacity - 1 - k]});
}

// Steps 3 and 4 of the plan (merge_paths.cpp): the added facilities' entries
// and places read from the source's name lists, and each facility filed
// under its places. Sets the plan's limit when it outgrows one.
void file_added_facilities(RunState& rs, MergePlan* plan);

// The report's notes on the added airports (merge_remarks.cpp): the airport
// of the result so far near each. `added` are their positions, which
// merge_plan.cpp gathers.
void find_remarks(RunState& rs, MergePlan* plan, AddedPosition* added, std::size_t count);
// Keeps the notes' index up to date: with an airport this source added, once
// it is held, and with an airport a source replaced, which moved from `was`
// to its position now.
void index_added_airport(const Catalogue& catalogue, MergePlan* plan, std::size_t index);
void index_moved_airport(const Catalogue& catalogue, MergePlan* plan, std::size_t index,
                         const AirportPosition& was);

// Makes the plan for the next source, open as the second input: the first
// time for the base in the Catalogue (scanned whole, `base_image` its
// headers), each later time for the result of the sources before. Returns
// kExitOk, kExitNoMatch when the source holds no facility (the plan is then
// as before), or kExitTooManyRecords when the result would not fit the
// Catalogue or its names NamePool (the plan's limit says which).
int plan_merge(RunState& rs, const uint8_t* base_image, MergePlan* plan);

// Ends the plan of a source that was merged: what it took is from then on part
// of the result, read from that source when the result is written, and, when
// `more_follow`, part of what the next source is merged into.
void settle_source(RunState& rs, MergePlan* plan, bool more_follow);

// What the merge does with a source facility.
enum class Fate {
  kReplaced,
  kAdded,
  kAddedUnfiled,  // added without a name entry: the source files it nowhere
  kOverridden,    // a later facility of its kind and name is taken instead
  kBehindNavaid,  // the result holds its name only behind the first VOR or NDB
};

struct FacilityFate {
  uint64_t offset = 0;
  int32_t subtype = 0;
  std::string_view name;  // valid only while the visit runs
  Fate fate = Fate::kReplaced;
  uint32_t taken = 0;  // kOverridden: the offset of the facility taken instead
  // kAdded, kAddedUnfiled: a facility of its kind whose name is alike, and
  // for an airport the nearest airport.
  TreeIndex similar = kNoNode;
  const Remark* remark = nullptr;
  // kReplaced: the input the replaced facility came from (an earlier source
  // replaced or added it when not the base).
  InputNumber over = kBaseInput;
};

// Calls `visit` for every source facility, in source order, with its fate
// under the plan made.
void for_each_fate(RunState& rs, const MergePlan& plan,
                   const std::function<void(const FacilityFate&)>& visit);

}  // namespace quarnel
