// What the link shares with its preview and the merge: the start that opens
// and catalogues the base, and the pairing of each source airport with the
// base airport it replaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "commands/run_state.h"
#include "io/files.h"
#include "scan/catalogue.h"

namespace quarnel {

// Calls `visit` for every airport of the source's object list, in source
// order, with its offset, its whole size, its name and the base airport of
// that name that a link would replace (null when there is none). The name
// stays valid only while `visit` runs. Notes damage on `source` when the walk
// ends before the list's end record or the trailer offset points nowhere.
using SourceAirportVisit =
    std::function<void(uint64_t, uint64_t, std::string_view, CatalogueEntry*)>;
void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit);

// The start of a link and a merge: base and source opened and tested (into
// `base_image`, kHeaderImageSize bytes), the base's trailer read (its word
// into `trailer_word`, kNoTrailerWord when it has none) and the whole base
// catalogued. Returns kExitOk or the ExitCode of the failure.
int open_and_catalogue_base(RunState& rs, uint8_t* base_image, int32_t* trailer_word);

// What a link made of the source's airports, for its summary line.
struct LinkTally {
  int airports = 0;   // of the source
  int replaced = 0;   // base airports replaced
  int new_names = 0;  // names of source airports that the base has no airport of
};

// Marks every base airport that a source airport replaces with `origin` and
// that airport's offset; a later source airport of the same name wins.
// Returns the number of source airports that found a base airport, and
// counts into `tally` when one is given.
int mark_source_airports(RunState& rs, InputFile& source, Origin origin,
                         LinkTally* tally = nullptr);

}  // namespace quarnel
