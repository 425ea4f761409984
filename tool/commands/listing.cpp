// The listing model: the scan with an observer that turns its records into
// facility views, then the Catalogue's name lists with their links resolved
// by the same lookup that link and extract use.
#include "commands/listing.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "commands/exit_codes.h"
#include "commands/inputs.h"
#include "format/records.h"
#include "output/record_copy.h"
#include "scan/lookup.h"
#include "scan/scan.h"

namespace quarnel {

namespace {

// Facilities of a subtype the tool does not catalogue are still facility
// records a link may name. Their offsets are kept, in file order, up to as
// many as the Catalogue holds, so a hostile file cannot make the list grow
// without bound; links to any beyond those show as naming nothing.
class ListingWalk : public ScanObserver {
 public:
  ListingWalk(RunState& rs, ListingSink& sink) : rs_(rs), sink_(sink) {}

  void on_record(WalkKind walk, uint64_t pos, const uint8_t* rec, std::size_t len,
                 int32_t size) override {
    sink_.on_record(walk, pos, rec, len, size);
    if (walk != WalkKind::kObjectList || get_u32(rec + kRecType) != kTypeContainer) return;
    const FacilityView view = view_facility(pos, rec, len);
    const bool catalogued = is_facility_subtype(view.subtype);
    if (!catalogued && others_.size() < kCatalogueCapacity) {
      others_.emplace_back(view.offset, view.subtype);
    }
    sink_.facility(view);
  }
  void on_chain_record(uint64_t pos, const uint8_t* head, std::size_t len) override {
    sink_.on_chain_record(pos, head, len);
  }
  void on_walk_end(WalkKind walk, uint64_t start, uint64_t pos, uint64_t limit,
                   WalkEnd why) override {
    sink_.on_walk_end(walk, start, pos, limit, why);
  }

  void resolve(EntryView& view) {
    if (view.link == 0) return;
    if (const CatalogueEntry* e = find_facility_by_offset(rs_.catalogue, view.link, false)) {
      view.resolved = true;
      view.facility_subtype = e->kind;
      return;
    }
    const auto it =
        std::lower_bound(others_.begin(), others_.end(), std::make_pair(view.link, INT32_MIN));
    if (it != others_.end() && it->first == view.link) {
      view.resolved = true;
      view.facility_subtype = it->second;
    }
  }

 private:
  RunState& rs_;
  ListingSink& sink_;
  std::vector<std::pair<uint32_t, int32_t>> others_;
};

ListView view_list(RunState& rs, const CatalogueEntry& head) {
  uint8_t bytes[kNameListHeadSize] = {};
  rs.first_input.read_at(head.base_offset, bytes, kNameListHeadSize);
  return {head.base_offset, get_i32(bytes + kRecSize), get_u32(bytes + kNlhEntryCount)};
}

// A name that did not fit NamePool is read again from its record.
std::string_view entry_name(RunState& rs, const CatalogueEntry& e) {
  if (e.name != nullptr) return e.name;
  const std::size_t len = read_object(write_target(rs), e, Origin::kFirstInput);
  if (len <= kNeName) return {};
  return bounded_text({rs.object_buffer.get() + kNeName, len - kNeName});
}

void tell_lists(RunState& rs, ListingWalk& walk, ListingSink& sink) {
  bool open = false;
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (is_list_head(e)) {
      if (open) sink.list_end();
      sink.list_begin(view_list(rs, e));
      open = true;
    } else if (open && is_name_entry(e)) {
      EntryView view;
      view.offset = e.base_offset;
      view.level = e.name_kind;
      view.link = e.facility_offset;
      walk.resolve(view);
      view.name = entry_name(rs, e);
      sink.entry(view);
    }
  }
  if (open) sink.list_end();
}

}  // namespace

FacilityView view_facility(uint64_t offset, const uint8_t* record, std::size_t len) {
  FacilityView v;
  v.offset = static_cast<uint32_t>(offset);
  v.subtype = field_i32(record, len, kContSubtype);
  v.has_name = find_facility_name(record, len, &v.name);
  v.has_position = find_position(record, len, &v.lat_raw, &v.lon_raw);
  v.ai = v.subtype == kSubtypeAirport && has_ai_marker(record, len);
  return v;
}

void tell_listing(RunState& rs, const uint8_t* image, ListingSink& sink) {
  sink.begin(image);
  ListingWalk walk(rs, sink);
  rs.scan_observer = &walk;
  build_catalogue(rs, image, nullptr, ScanMode::kSelectByName);
  rs.scan_observer = nullptr;
  tell_lists(rs, walk, sink);
  sink.end();
}

int walk_listing(RunState& rs, const std::string& path, ListingSink& sink) {
  uint8_t image[kHeaderImageSize];
  const int result = open_first_input(rs, path, image);
  if (result == kExitOk) tell_listing(rs, image, sink);
  return result;
}

}  // namespace quarnel
