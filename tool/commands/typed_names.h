// The airport names a user types for -C. A file holds its names in
// Windows-1252, and a Windows console passes them in that code page; a POSIX
// terminal passes UTF-8. A name that selects nothing as typed is tried again
// in the file's code page, so that a name typed on Linux selects what the same
// name typed on Windows does.
#pragma once

#include <string>
#include <string_view>

#include "scan/catalogue.h"

namespace quarnel {

// The form in which a file would hold `typed`, where it may differ: on a
// terminal that speaks UTF-8, a name of valid UTF-8 with characters beyond
// ASCII, every one of which Windows-1252 holds. False for every other name,
// which is only ever compared as typed.
bool file_form_of_typed_name(std::string_view typed, std::string* in_file);

// Selects, for each name of `table` that selected no airport as typed, the
// airports named by its file form.
void select_file_forms(Catalogue& catalogue, const NameTable& table);

// Whether `typed` selected an airport, as typed or in its file form.
bool typed_name_selects(const Catalogue& catalogue, std::string_view typed);

// Whether an airport of the Catalogue has `name`; only selected ones when
// `selected_only`.
bool has_airport_named(const Catalogue& catalogue, std::string_view name, bool selected_only);

}  // namespace quarnel
