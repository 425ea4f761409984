// The JSON description of an AFD file, the document that -J writes and -B
// reads, taken in as a stream: the reader checks each piece against what the
// document may hold and hands it on as soon as it is complete, so that no
// more than one facility or name entry is ever held in memory.
#pragma once

#include <cstdio>
#include <string>

#include "document/described.h"

namespace quarnel {

enum class ReadOutcome { kDone, kInvalid, kUnreadable, kUnwritable };

// Reads one description from `in` and tells `sink`. kInvalid fills `message`
// with "PLACE: WHAT": PLACE is a JSON path such as `facilities[3].lat`, or
// `line L, column C` for text that is not JSON. kUnreadable: reading `in`
// failed; kUnwritable: the spool could not keep what it was given.
ReadOutcome read_description(std::FILE* in, DescriptionSink& sink, std::string* message);

}  // namespace quarnel
