// The pieces of an AFD description as the reader hands them on, and the sink
// that takes them: what the reader and the build share, and nothing of how
// the text is read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/hex.h"
#include "document/spool.h"
#include "format/coverage.h"

namespace quarnel {

// Whether a key was left out, given as null, or given a value. The build
// tells "not said" from "said to be none".
enum class Given : uint8_t { kAbsent, kNull, kValue };

template <typename T>
struct Stated {
  Given given = Given::kAbsent;
  T value{};
  bool said() const { return given != Given::kAbsent; }
  bool has() const { return given == Given::kValue; }
};

// A run of header bytes that holds something other than what the tool writes
// there, at its offset from the start of the file.
struct HeaderBytes {
  uint32_t at = 0;
  Bytes bytes;
};

struct DescribedHeader {
  Stated<CoverageBox> bounds;
  Stated<std::array<uint16_t, 3>> file_id;
  Stated<int32_t> year;
  Stated<uint8_t> month;
  Stated<uint8_t> day;
  Stated<uint32_t> time;
  Stated<int32_t> format_level;
  std::vector<HeaderBytes> other_bytes;
};

struct DescribedTrailer {
  bool present = true;  // false: the file has no trailer (given as null)
  Stated<uint32_t> word;
  Stated<CoverageBox> bounds;
};

// The sub-records of a facility: whole ones held in memory while they fit
// kHeldSubRecordBytes, which is more than the scan looks at of a record even
// after the build has patched it; the first that does not fit and all those
// behind it wait in the spool, back to back.
constexpr std::size_t kHeldSubRecordBytes = 4 * 64000;
struct SubRecords {
  Bytes held;
  std::vector<uint32_t> ends;  // where each held one ends within `held`
  uint64_t spool_at = 0;
  uint64_t spilled = 0;
  std::size_t count = 0;  // held and spilled
};

// The bytes of a piece held in memory: more than the scan looks at of a
// record, so that what the build checks of it is always at hand.
constexpr std::size_t kHeldPieceBytes = 64 * 1024;

struct DescribedFacility {
  Stated<uint32_t> offset;
  Stated<std::string> kind;
  Stated<int32_t> subtype;
  Stated<std::string> name;  // Windows-1252 bytes
  Stated<double> lat;
  Stated<double> lon;
  Stated<int32_t> lat_raw;
  Stated<int32_t> lon_raw;
  Stated<bool> ai;
  Stated<Bytes> reserved;
  Stated<SubRecords> sub_records;
  Stated<Piece> end;
};

// A record of the object list that is not a facility, and the facility it
// stands behind (none: at the start of the list).
struct DescribedOtherRecord {
  Stated<uint32_t> after;
  Piece bytes;
};

struct DescribedList {
  Bytes reserved;  // the head's 12 bytes between its size and its entry count
};

struct DescribedEntry {
  int32_t level = 0;
  std::string name;  // Windows-1252 bytes
  Stated<uint32_t> facility;
  Piece tail;  // bytes after the name's NUL
};

// What the reader and the build say of a name the tool would not read back.
inline constexpr const char* kUnreadRecordText =
    "the tool would not read this back: it looks at no more than a record's first 63990 bytes";
inline constexpr const char* kEntryNameTooLong =
    "longer than the 63981 bytes that the tool reads of a name";

// Where a piece is wrong, below the piece itself ("" for the piece, ".name"
// for one of its keys), and what is wrong.
struct Fault {
  std::string below;
  std::string what;
};

// Told the description piece by piece in document order. A method that finds
// its piece wrong fills the fault and returns false; the reading stops there.
class DescriptionSink {
 public:
  virtual ~DescriptionSink() = default;
  // Where the bytes of a piece beyond those held in memory wait until the
  // piece is told; cleared as each facility, other record or entry begins.
  virtual Spool& spool() = 0;
  virtual bool header(const DescribedHeader&, Fault*) = 0;
  virtual bool trailer(const DescribedTrailer&, Fault*) = 0;
  virtual bool facility(const DescribedFacility&, std::size_t index, Fault*) = 0;
  virtual bool other_record(const DescribedOtherRecord&, std::size_t index, Fault*) = 0;
  virtual bool list_begin(std::size_t index, Fault*) = 0;
  virtual bool entry(const DescribedEntry&, std::size_t list, std::size_t index, Fault*) = 0;
  virtual bool list_end(const DescribedList&, std::size_t index, Fault*) = 0;
};

}  // namespace quarnel
