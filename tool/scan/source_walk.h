// The walks over a second input: the facility records of its object list,
// whose headers are never tested, and the trailer of any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "format/coverage.h"
#include "io/files.h"

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
// list, in source order, with its name when `names` says so; `scratch`
// (ObjectBuffer) holds what the source's window cannot show in place. The
// source's headers are not tested. Notes damage on `source` when the walk
// ends before the list's end record or the trailer offset points nowhere.
using SourceFacilityVisit = std::function<void(const SourceFacility&)>;
void for_each_source_facility(InputFile& source, uint8_t* scratch,
                              const SourceFacilityVisit& visit, bool names = true);

// The trailer word a new file gets when its base gave none.
constexpr int32_t kNoTrailerWord = -1;

// Reads the trailer at `offset` of `in`: into `box` the fields that were
// there, leaving the others as they were. Returns the trailer's word, or
// kNoTrailerWord when not even that was there; `got` says how many bytes were.
int32_t read_trailer(InputFile& in, uint64_t offset, CoverageBox& box,
                     std::size_t* got = nullptr);

}  // namespace quarnel
