// The parts of a new file that the link and the extract write alike: the
// object list behind the header image, and the heads of copied name lists set
// to what was written of their lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/files.h"
#include "output/write_target.h"
#include "scan/catalogue.h"

namespace quarnel {

// Whether the facilities copied by write_object_list grow the coverage boxes.
enum class FacilityBoxes {
  kAsScanned,  // the boxes stay as the scan left them
  kRegrown,    // each copied record grows them (the caller emptied them)
};

// Writes the header image, the selected facility records in Catalogue order,
// each from the input its origin names, and the object list's end mark, and
// sets both list offsets in the header image. Adds the bytes written to
// `total`; returns the index of the Catalogue's first name-list entry.
std::size_t write_object_list(const WriteTarget& target, uint64_t* total, FacilityBoxes boxes);

// Ends a new file behind its last name list: that list's end mark and the
// chain's, the trailer with the AI airports' box, and the header image written
// again with the trailer's offset. The trailer's word is `trailer_word`, the
// base's (kNoTrailerWord: the usual one). Adds the bytes written to `total`.
void write_file_end(const WriteTarget& target, uint64_t* total, int32_t trailer_word);

// Sets a copied head's size field to `bytes` and its entry_count to `names`.
// Nothing changes when the head was not written (output_offset 0) or the
// output holds no NameListHead there; the output goes on at its end.
void patch_name_list_head(OutputFile& out, const CatalogueEntry& head, int32_t names,
                          int64_t bytes);

// Sets a copied head's size to what its list took in the output, its entries
// (`entry_bytes`) and end record, where records that were not catalogued made
// the list shorter than the input's head says. A size of 0, which ends the
// chain, and the entry_count stay as copied.
void fit_name_list_head(OutputFile& out, const CatalogueEntry& head, uint64_t entry_bytes);

}  // namespace quarnel
