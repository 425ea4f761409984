// The scan: the first input's headers tested, then its records read into the
// Catalogue (catalogue.h), growing the coverage boxes on the way.
#pragma once

#include <cstdint>
#include <string>

#include "format/coverage.h"
#include "io/files.h"
#include "scan/catalogue.h"
#include "scan/scan_observer.h"

namespace quarnel {

// Which airports a scan selects for copying: every record, or the airports
// the name table names.
enum class ScanMode { kTakeAll, kSelectByName };

// The origin an entry of a scan in `mode` gets: what the scan takes comes from
// the first input, the input it reads; anything else is not copied.
constexpr Origin scan_origin(ScanMode mode, bool selected_by_name) {
  return mode == ScanMode::kTakeAll || selected_by_name ? Origin::kFirstInput : Origin::kNone;
}

// The header test's outcome: passed, or the first test the headers failed.
enum class HeaderTest { kPassed, kTooShort, kBadMagic, kBadSectionTag, kOldFormatLevel };

// Reads and tests the 168 header bytes at the start of `in` into `image`.
HeaderTest test_headers(InputFile& in, uint8_t* image);
bool read_headers(InputFile& in, uint8_t* image);

// Says on standard error which test the headers of `in`, read into `image`,
// failed.
void explain_bad_headers(const InputFile& in, const uint8_t* image, HeaderTest failed);
// What that line says of the headers, such as "its magic number is 0x...,
// not 0x87654321"; empty when they passed.
std::string bad_headers_reason(const InputFile& in, const uint8_t* image, HeaderTest failed);

// What a scan works on: the input it reads, with `scratch` (ObjectBuffer) for
// records the input's window cannot show in place, and what it fills: the
// Catalogue and the coverage boxes of the airports it reads; with
// `positions`, each airport's position at its Catalogue index (kNoPosition
// for one without); with `observer`, every record and walk end, and then the
// scan prints nothing of its own.
struct ScanTarget {
  InputFile& in;
  uint8_t* scratch;
  Catalogue& catalogue;
  CoverageBox& airport_box;
  CoverageBox& ai_airport_box;
  AirportPosition* positions = nullptr;
  ScanObserver* observer = nullptr;
};

// Catalogues the records of one list of the input, from `offset` up to
// `limit` (exclusive). See record_walk.h for how a damaged list ends.
void scan_objects(const ScanTarget& target, uint64_t offset, const NameTable* table,
                  ScanMode mode, uint64_t limit);

// Catalogues the name list whose head is at `offset`. Returns the distance to
// the next record of the chain, or 0 when the chain ends here, and then `why`.
int64_t read_name_list(const ScanTarget& target, uint64_t offset, WalkEnd* why = nullptr);

// The common first step of every command once the headers passed: empty the
// Catalogue, scan the object list, then follow the name-list chain. Notes
// damage on the input when a walk ended early (is_damage) or the trailer
// offset points nowhere.
void build_catalogue(const ScanTarget& target, const uint8_t* header_image,
                     const NameTable* table, ScanMode mode);

}  // namespace quarnel
