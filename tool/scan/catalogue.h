// The Catalogue: one entry per facility record, name-list head and name entry
// of the scanned file, in file order, with the names kept in NamePool.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "scan/lookup.h"
#include "scan/run_state.h"
#include "scan/scan_observer.h"

namespace quarnel {

// Scan modes: take every record, or select airports by the name table.
constexpr int kScanTakeAll = 0;
constexpr int kScanSelectByName = 1;

// Reads and tests the 168 header bytes at the start of `in` into `image`.
bool read_headers(InputFile& in, uint8_t* image);

// Opens `path` as the first input and tests its headers into `image`. Returns
// kExitOk, or kExitCannotOpen after the cannot-open line, or kExitBadHeader.
// The input stays open in every case but the first failure.
int open_first_input(RunState& rs, const std::string& path, uint8_t* image,
                     std::FILE* messages = stdout);

// Copies `text` into NamePool. Returns null, changing nothing, when it does not
// fit; the pool's last byte is never used. `counted` names take part in the
// longest-name statistic, also when they do not fit.
const char* add_name(RunState& rs, std::string_view text, bool counted);

bool is_name_selected(const char* name, const NameTable* table);

// Catalogues the records of one list of the first input, from `offset` up to
// `limit` (exclusive). See catalogue.cpp for how a damaged list ends.
void scan_objects(RunState& rs, uint64_t offset, const NameTable* table, int mode, uint64_t limit);

// Catalogues the name list whose head is at `offset`. Returns the distance to
// the next record of the chain, or 0 when the chain ends here, and then `why`.
int64_t read_name_list(RunState& rs, uint64_t offset, WalkEnd* why = nullptr);

// The common first step of every command once the headers passed: empty the
// Catalogue, scan the object list, then follow the name-list chain.
void build_catalogue(RunState& rs, const uint8_t* header_image, const NameTable* table, int mode);

int count_selected(const RunState& rs);

}  // namespace quarnel
