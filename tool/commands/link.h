// What the link command shares with its preview and the merge: the walk over
// the source's facilities, and the pairing of each source airport with the
// base airport it replaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "io/files.h"
#include "scan/catalogue.h"
#include "scan/run_state.h"

namespace quarnel {

// A facility record of the source's object list, as a source walk finds it.
struct SourceFacility {
  uint64_t offset = 0;
  uint64_t size = 0;      // the whole record, head included
  std::size_t seen = 0;   // of which the head and the payload a scan looks at
  int32_t subtype = 0;    // 1 airport, 2 VOR, 3 NDB, or any other value
  std::string_view name;  // valid only until the source is read again
  // The record's first bytes that the walk read for its name, head included;
  // valid as the name is.
  const uint8_t* bytes = nullptr;
  std::size_t bytes_read = 0;
};

// Calls `visit` for every facility record (Container) of the source's object
// list, in source order, with its name when `names` says so. The source's
// headers are not tested.
using SourceFacilityVisit = std::function<void(const SourceFacility&)>;
void for_each_source_facility(RunState& rs, InputFile& source, const SourceFacilityVisit& visit,
                              bool names = true);

// Calls `visit` for every airport of the source's object list, in source
// order, with its offset, its whole size, its name and the base airport of
// that name that a link would replace (null when there is none). The name
// stays valid only while `visit` runs. Sets second_input_damaged when the walk
// ends before the list's end record or the trailer offset points nowhere.
using SourceAirportVisit =
    std::function<void(uint64_t, uint64_t, std::string_view, CatalogueEntry*)>;
void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit);

// The start of a link and a merge: base and source opened and tested (into
// `base_image`, kHeaderImageSize bytes), the base's trailer read and the whole
// base catalogued. Returns kExitOk or the ExitCode of the failure.
int open_and_catalogue_base(RunState& rs, uint8_t* base_image);

// Marks every base airport that a source airport replaces with `origin` and
// that airport's offset; a later source airport of the same name wins.
// Returns the number of source airports that found a base airport.
int mark_source_airports(RunState& rs, InputFile& source, Origin origin);

}  // namespace quarnel
