// What the link command shares with its preview: the walk that pairs each
// source airport with the base airport it replaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "io/files.h"
#include "scan/catalogue.h"
#include "scan/run_state.h"

namespace quarnel {

// Calls `visit` for every airport of the source's object list, in source
// order, with its offset, its whole size, its name and the base airport of
// that name that a link would replace (null when there is none). The name
// stays valid only while `visit` runs. Sets second_input_damaged when the walk
// ends before the list's end record or the trailer offset points nowhere.
using SourceAirportVisit =
    std::function<void(uint64_t, uint64_t, std::string_view, CatalogueEntry*)>;
void for_each_source_airport(RunState& rs, InputFile& source, const SourceAirportVisit& visit);

// Marks every base airport that a source airport replaces with `origin` and
// that airport's offset; a later source airport of the same name wins.
// Returns the number of source airports that found a base airport.
int mark_source_airports(RunState& rs, InputFile& source, Origin origin);

}  // namespace quarnel
