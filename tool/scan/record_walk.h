// The walk over a list of records, and the rules that end it. It trusts
// nothing in the file: a walk ends, keeping what it has seen, at the first
// record that
//   - has a head cut short by the end of the data (fewer than 8 bytes),
//   - declares a negative size,
//   - reaches past the end of its list's data (the file's end, or for a name
//     list's entries the end of the span that the list's head declares),
//   - would start beyond the 32-bit offsets that the format can express,
// or at an end record. Steps are always at least 8 bytes forward, so every
// walk ends. The scan of the first input and the link's walk of the source
// both go this way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/afd_format.h"
#include "io/files.h"
#include "scan/scan_observer.h"

namespace quarnel {

// Whether a walk that ended for `why` left records of its list unread: a
// record cut off, a walk stopped early, records beyond what the Catalogue
// holds. The commands that use an input warn of it.
inline bool is_damage(WalkEnd why) {
  return why != WalkEnd::kEndRecord && why != WalkEnd::kSizeZero;
}

// Why no head can be read at `pos` of data that ends at `limit`; kEndRecord
// when one can.
WalkEnd head_room(uint64_t pos, uint64_t limit);

struct WalkRecord {
  uint64_t pos = 0;
  uint32_t type = 0;
  int32_t size = 0;       // as declared: not negative
  uint64_t next = 0;      // where the record after it starts
  std::size_t whole = 0;  // head and the payload bytes a walk looks at
};

class RecordWalk {
 public:
  // A walk of `in` from `start` up to `limit` (exclusive, at most the file's
  // size), with `scratch` (ObjectBuffer) for records the input's window
  // cannot show in place.
  RecordWalk(InputFile& in, uint8_t* scratch, uint64_t start, uint64_t limit)
      : in_(in), scratch_(scratch), pos_(start), limit_(limit) {}

  // The record at the walk's position, its head read and checked; false when
  // the walk ends there (see end()).
  bool next(WalkRecord* record);
  // The record's first `n` bytes (at most record.whole), in place where the
  // window holds them; null, ending the walk, when not even its head could be
  // read. Sets `got` to the bytes there.
  const uint8_t* view(const WalkRecord& record, std::size_t n, std::size_t* got);
  // Moves on to the record behind `record`.
  void step(const WalkRecord& record) { pos_ = record.next; }

  // Where the walk stands: at its end, the record that ended it.
  uint64_t position() const { return pos_; }
  WalkEnd end() const { return end_; }

 private:
  InputFile& in_;
  uint8_t* scratch_;
  uint64_t pos_;
  uint64_t limit_;
  WalkEnd end_ = WalkEnd::kEndRecord;
};

// A record of the name-list chain, as NameListChain finds it.
struct ChainRecord {
  uint64_t pos = 0;
  uint32_t type = 0;
  int32_t size = 0;
  // A NameListHead, read whole: its 24 bytes in `bytes`, and the span of its
  // entries, from `entries` up to `entries_limit` (the end of the span its
  // size declares, or of the file when it declares none).
  bool is_head = false;
  uint8_t bytes[kNameListHeadSize] = {};
  uint64_t entries = 0;
  uint64_t entries_limit = 0;
};

// The walk over the chain of name lists: from record to record by their
// sizes. A record of size 0 (an end record or not) or below ends the chain
// behind it; so does a NameListHead cut short by the end of the file, which
// would be copied cut short. Every command that follows the chain of an
// input goes this way.
class NameListChain {
 public:
  NameListChain(InputFile& in, uint64_t start) : in_(in), pos_(start) {}

  // The record at the chain's position; false when the chain ends there.
  bool next(ChainRecord* record);
  // Moves on behind `record`; false when its size ends the chain there.
  bool step(const ChainRecord& record);

  // Where the chain stands: at its end, the record that ended it.
  uint64_t position() const { return pos_; }
  WalkEnd end() const { return end_; }

 private:
  InputFile& in_;
  uint64_t pos_;
  WalkEnd end_ = WalkEnd::kEndRecord;
};

}  // namespace quarnel
