#include "commands/typed_names.h"

#include <algorithm>

#include "format/text_forms.h"
#include "io/platform.h"

namespace quarnel {

bool file_form_of_typed_name(std::string_view typed, std::string* in_file) {
  const bool ascii = std::all_of(typed.begin(), typed.end(),
                                 [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  return platform::terminal_uses_utf8() && !ascii && windows_1252_from_utf8(typed, in_file);
}

bool has_airport_named(const Catalogue& catalogue, std::string_view name, bool selected_only) {
  for (std::size_t i = 0; i < catalogue.count; ++i) {
    const CatalogueEntry& e = catalogue[i];
    if (e.kind != kSubtypeAirport || e.name == nullptr) continue;
    if ((!selected_only || is_selected(e)) && name == e.name) return true;
  }
  return false;
}

void select_file_forms(Catalogue& catalogue, const NameTable& table) {
  std::string in_file;
  for (std::size_t k = 0; k < table.count; ++k) {
    const char* typed = table.slots[k];
    if (typed == nullptr || !file_form_of_typed_name(typed, &in_file) ||
        has_airport_named(catalogue, typed, true)) {
      continue;
    }
    // As the scan selects: every airport of the name, from the input it read.
    for (std::size_t i = 0; i < catalogue.count; ++i) {
      CatalogueEntry& e = catalogue[i];
      if (e.kind == kSubtypeAirport && e.name != nullptr && in_file == e.name) {
        e.origin = Origin::kFirstInput;
      }
    }
  }
}

bool typed_name_selects(const Catalogue& catalogue, std::string_view typed) {
  if (has_airport_named(catalogue, typed, true)) return true;
  std::string in_file;
  return file_form_of_typed_name(typed, &in_file) && has_airport_named(catalogue, in_file, true);
}

}  // namespace quarnel
