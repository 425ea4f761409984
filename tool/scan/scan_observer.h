// A watcher of the catalogue's walks. The commands that inspect a file see
// through it every record the scan reads and why each walk ended. The scan
// prints nothing itself: what it finds odd goes to its watcher, and a scan
// that a command watches not goes to scan_lines(), which prints the lines the
// core commands have always printed on standard output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnel {

enum class WalkKind {
  kObjectList,
  kNameEntries,  // the entries of one name list
  kChain,        // the chain of name-list heads
};

enum class WalkEnd {
  kEndRecord,      // an end record: the list is whole
  kSizeZero,       // a chain record of size 0, not an end record, ends the chain behind it
  kEndOfData,      // no bytes left before the list's limit, and no end record
  kHeadCut,        // a record head cut short by the end of the data
  kNegativeSize,   // a record that declares a negative size
  kPastLimit,      // a record that reaches past the end of its list's data
  kBeyondOffsets,  // a record that would start beyond 32-bit offsets
  kCatalogueFull,  // the Catalogue is full; the record at the position is not read
};

// How a line names the list that a walk went over. One name list among many
// is "a name list" where the line does not point at it by its offset.
enum class ListArticle { kThe, kA };
constexpr const char* walk_word(WalkKind walk, ListArticle article = ListArticle::kThe) {
  switch (walk) {
    case WalkKind::kObjectList:
      return "the object list";
    case WalkKind::kNameEntries:
      return article == ListArticle::kA ? "a name list" : "the name list";
    case WalkKind::kChain:
      return "the name-list chain";
  }
  return "";
}

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // A record of a list, before the scan catalogues it: its first `len` bytes
  // (head included, at most the bytes the scan reads) and its declared size.
  virtual void on_record(WalkKind, uint64_t /*pos*/, const uint8_t* /*rec*/, std::size_t /*len*/,
                         int32_t /*size*/) {}
  // A record of the chain: a NameListHead's 24 bytes, or another record's 8.
  virtual void on_chain_record(uint64_t /*pos*/, const uint8_t* /*head*/, std::size_t /*len*/) {}
  // The walk that began at `start` ended at `pos`, where the record that
  // stopped it lies; `limit` is the end of the data the walk might use.
  virtual void on_walk_end(WalkKind, uint64_t /*start*/, uint64_t /*pos*/, uint64_t /*limit*/,
                           WalkEnd) {}
  // An object-list container whose subtype is no facility's; it is skipped.
  virtual void on_unknown_object(uint64_t /*pos*/, int32_t /*subtype*/) {}
  // A list record of a type the scan does not catalogue; it is skipped.
  virtual void on_unknown_record(uint32_t /*type*/) {}
  // The Catalogue is full, with `count` entries, where the chain goes on.
  virtual void on_chain_overflow(std::size_t /*count*/) {}
};

// The watcher of a scan that no command watches.
ScanObserver& scan_lines();

}  // namespace quarnel
