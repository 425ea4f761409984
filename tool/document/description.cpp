// The description reader: nlohmann/json's SAX parser over a chunked read of
// the input, and a handler that follows the document's shape with a stack of
// frames. Every value is checked where it stands, so an error names its exact
// path, and a piece goes to the sink as soon as its object closes.
#include "document/description.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string_view>

#include "format/afd_format.h"
#include "format/levels.h"
#include "format/text_forms.h"

namespace quarnel {

namespace {

// The input in blocks, so the parser's per-character reads cost a compare and
// an increment, not a library call. The parser keeps every character of the
// token it is reading, whitespace before it included, so a run of whitespace
// outside strings reaches it as its first character alone: a document padded
// with gigabytes of blanks is read in constant memory. Lines and columns are
// counted here, on the input as it is, and only as far as a place is asked
// for: the count trails the reading and catches up by memchr.
class ChunkInput {
 public:
  explicit ChunkInput(std::FILE* file) : file_(file), buffer_(std::size_t{1} << 16) {}
  bool more() { return p_ != end_ || refill(); }
  char get() const { return *p_; }
  void advance() {
    const char c = *p_++;
    if (in_string_) {
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '"') {
        in_string_ = false;
      }
    } else if (c == '"') {
      in_string_ = true;
    } else if (is_space(c) && (p_ == end_ || is_space(*p_))) {
      skip_run();
    }
  }
  bool failed() const { return failed_; }

  // Where the parser's last character was: "line L, column C".
  std::string place() {
    uint64_t line = 1;
    uint64_t column = 1;
    if (end_ == nullptr) {
      // Nothing was read at all.
    } else if (done_ && p_ == end_) {
      position(end_, &line, &column);
    } else if (held_ && offset_of(p_) == held_end_) {
      line = held_line_, column = held_column_;
    } else {
      position(p_ - 1, &line, &column);  // the last character delivered
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }

 private:
  static bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
  uint64_t offset_of(const char* q) const {
    return base_ + static_cast<uint64_t>(q - buffer_.data());
  }
  void count_to(const char* q) {
    if (q < counted_) return;
    for (const char* s = counted_; s < q;) {
      const void* nl = std::memchr(s, '\n', static_cast<std::size_t>(q - s));
      if (nl == nullptr) break;
      s = static_cast<const char*>(nl) + 1;
      ++lines_;
      line_start_ = offset_of(s);
    }
    counted_ = q;
  }
  void position(const char* at, uint64_t* line, uint64_t* column) {
    count_to(at);
    *line = lines_ + 1;
    *column = offset_of(at) - line_start_ + 1;
  }
  // Delivered: the blank before p_, at the end of its block or followed by
  // another. Its place is kept, before a refill can move the block, in case
  // the parser fails on it; the rest of its run is passed over.
  void skip_run() {
    position(p_ - 1, &held_line_, &held_column_);
    while (more() && is_space(*p_)) ++p_;
    held_ = true;
    held_end_ = offset_of(p_);
  }
  bool refill() {
    if (done_) return false;
    count_to(end_);
    const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (n == 0) {
      done_ = true;
      failed_ = std::ferror(file_) != 0;
      return false;
    }
    base_ += static_cast<uint64_t>(end_ - p_start());
    p_ = buffer_.data();
    end_ = p_ + n;
    counted_ = p_;
    return true;
  }
  const char* p_start() const { return end_ == nullptr ? nullptr : buffer_.data(); }

  std::FILE* file_;
  std::vector<char> buffer_;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  const char* counted_ = nullptr;
  uint64_t base_ = 0;  // the input offset of buffer_[0]
  bool done_ = false;
  bool failed_ = false;
  bool in_string_ = false;
  bool escaped_ = false;
  uint64_t lines_ = 0;       // newlines before counted_
  uint64_t line_start_ = 0;  // the offset behind the last of them
  bool held_ = false;
  uint64_t held_end_ = 0;
  uint64_t held_line_ = 0;
  uint64_t held_column_ = 0;
};

class ChunkIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  ChunkIterator() = default;
  explicit ChunkIterator(ChunkInput* in) : in_(in) {}
  char operator*() const { return in_->get(); }
  ChunkIterator& operator++() {
    in_->advance();
    return *this;
  }
  ChunkIterator operator++(int) {
    ChunkIterator before = *this;
    in_->advance();
    return before;
  }
  // Only "at the end or not" is ever compared: the parser asks whether its
  // position has reached the end iterator.
  bool operator==(const ChunkIterator& other) const { return at_end() == other.at_end(); }

 private:
  bool at_end() const { return in_ == nullptr || !in_->more(); }
  ChunkInput* in_ = nullptr;
};

using Json = nlohmann::json;

enum class Node : uint8_t {
  kRoot,
  kHeader,
  kHeaderBounds,
  kTrailerBounds,
  kCreated,
  kFileId,
  kOtherBytes,
  kOtherByte,
  kFacilities,
  kFacility,
  kSubRecords,
  kOtherRecords,
  kOtherRecord,
  kNameLists,
  kNameList,
  kEntries,
  kEntry,
  kTrailer,
  kSkip,
};

struct Shape {
  std::vector<std::string_view> keys;  // an object's keys; empty for an array
  uint32_t required = 0;               // bit k: keys[k] must be given
};

// Key numbers, in the order of each Shape's keys.
enum RootKey {
  kFile,
  kHeaderKey,
  kFacilitiesKey,
  kOtherRecordsKey,
  kNameListsKey,
  kTrailerKey,
  kProblems
};
enum HeaderKey { kBounds, kFileIdKey, kCreatedKey, kFormatLevel, kOtherBytesKey };
enum BoundsKey { kLatMax, kLatMin, kLonMax, kLonMin };
enum CreatedKey { kYear, kMonth, kDay, kTime };
enum OtherByteKey { kAt, kOtherByteBytes };
enum FacilityKey {
  kOffset,
  kKind,
  kSubtype,
  kName,
  kLat,
  kLon,
  kLatRaw,
  kLonRaw,
  kAi,
  kReserved,
  kSubRecordsKey,
  kEnd
};
enum OtherRecordKey { kOtherOffset, kAfter, kOtherRecordBytes };
enum NameListKey { kListOffset, kListReserved, kEntriesKey };
enum EntryKey { kEntryOffset, kLevel, kEntryName, kLink, kFacilityKey, kTail };
enum TrailerKey { kWord, kTrailerBoundsKey };

const Shape& shape(Node node) {
  static const Shape kRootShape{
      {"file", "header", "facilities", "other_records", "name_lists", "trailer", "problems"}, 0};
  static const Shape kHeaderShape{{"bounds", "file_id", "created", "format_level", "other_bytes"},
                                  0};
  static const Shape kBoundsShape{{"lat_max", "lat_min", "lon_max", "lon_min"}, 0xF};
  static const Shape kCreatedShape{{"year", "month", "day", "time"}, 0xF};
  static const Shape kOtherByteShape{{"at", "bytes"}, 0x3};
  static const Shape kFacilityShape{{"offset", "kind", "subtype", "name", "lat", "lon", "lat_raw",
                                     "lon_raw", "ai", "reserved", "sub_records", "end"},
                                    0};
  static const Shape kOtherRecordShape{{"offset", "after", "bytes"}, 1u << kOtherRecordBytes};
  static const Shape kNameListShape{{"offset", "reserved", "entries"}, 0};
  static const Shape kEntryShape{{"offset", "level", "name", "link", "facility", "tail"},
                                 1u << kLevel | 1u << kEntryName};
  static const Shape kTrailerShape{{"word", "bounds"}, 0};
  static const Shape kArray{};
  switch (node) {
    case Node::kRoot:
      return kRootShape;
    case Node::kHeader:
      return kHeaderShape;
    case Node::kHeaderBounds:
    case Node::kTrailerBounds:
      return kBoundsShape;
    case Node::kCreated:
      return kCreatedShape;
    case Node::kOtherByte:
      return kOtherByteShape;
    case Node::kFacility:
      return kFacilityShape;
    case Node::kOtherRecord:
      return kOtherRecordShape;
    case Node::kNameList:
      return kNameListShape;
    case Node::kEntry:
      return kEntryShape;
    case Node::kTrailer:
      return kTrailerShape;
    default:
      return kArray;
  }
}

bool is_array(Node node) {
  switch (node) {
    case Node::kFileId:
    case Node::kOtherBytes:
    case Node::kFacilities:
    case Node::kSubRecords:
    case Node::kOtherRecords:
    case Node::kNameLists:
    case Node::kEntries:
      return true;
    default:
      return false;
  }
}

struct Frame {
  Node node;
  int key = -1;             // objects: the key whose value comes next
  std::size_t items = 0;    // arrays: the items begun so far
  uint32_t seen = 0;        // objects: the keys given so far
  std::size_t skipped = 0;  // kSkip: containers open inside the skipped value
};

// A JSON scalar as the parser hands it over.
struct Scalar {
  enum Type { kNull, kBool, kInt, kUint, kFloat, kString } type = kNull;
  bool boolean = false;
  int64_t integer = 0;
  uint64_t unsigned_integer = 0;
  double real = 0;
  std::string_view text;

  bool integral(int64_t lo, int64_t hi, int64_t* out) const {
    if (type == kInt && integer >= lo && integer <= hi) {
      *out = integer;
      return true;
    }
    if (type == kUint && hi >= 0 && unsigned_integer <= static_cast<uint64_t>(hi) &&
        static_cast<int64_t>(unsigned_integer) >= lo) {
      *out = static_cast<int64_t>(unsigned_integer);
      return true;
    }
    return false;
  }
  bool number(double* out) const {
    switch (type) {
      case kInt:
        *out = static_cast<double>(integer);
        return true;
      case kUint:
        *out = static_cast<double>(unsigned_integer);
        return true;
      case kFloat:
        *out = real;
        return std::isfinite(real);
      default:
        return false;
    }
  }
};

bool in_free_header_bytes(uint32_t at, std::size_t n) {
  for (const HeaderRun& r : kFreeHeaderBytes) {
    if (at >= r.begin && at < r.end && n <= r.end - at) return true;
  }
  return false;
}

std::string range_text(int64_t lo, int64_t hi) {
  return "must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
}

class Handler {
 public:
  using json = Json;

  Handler(DescriptionSink& sink, ChunkInput& input) : sink_(sink), input_(input) {}

  bool failed() const { return !what_.empty(); }
  std::string message() const { return place_ + ": " + what_; }

  // The SAX interface.
  bool null() { return scalar(Scalar{}); }
  bool boolean(bool b) {
    Scalar s;
    s.type = Scalar::kBool;
    s.boolean = b;
    return scalar(s);
  }
  bool number_integer(json::number_integer_t v) {
    Scalar s;
    s.type = Scalar::kInt;
    s.integer = v;
    return scalar(s);
  }
  bool number_unsigned(json::number_unsigned_t v) {
    Scalar s;
    s.type = Scalar::kUint;
    s.unsigned_integer = v;
    return scalar(s);
  }
  // A template: the library's binary readers hand over another string type.
  template <typename Text>
  bool number_float(json::number_float_t v, const Text&) {
    Scalar s;
    s.type = Scalar::kFloat;
    s.real = v;
    return scalar(s);
  }
  bool string(json::string_t& v) {
    Scalar s;
    s.type = Scalar::kString;
    s.text = v;
    return scalar(s);
  }
  bool binary(json::binary_t&) { return fail_here("must not be binary"); }
  bool start_object(std::size_t) { return open(false); }
  bool start_array(std::size_t) { return open(true); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(json::string_t& key_text) {
    const std::string_view name = key_text;
    Frame& f = frames_.back();
    if (f.node == Node::kSkip) return true;
    const Shape& s = shape(f.node);
    for (std::size_t k = 0; k < s.keys.size(); ++k) {
      if (s.keys[k] != name) continue;
      f.key = static_cast<int>(k);
      if (f.seen & (1u << k)) return fail_here("duplicate key");
      f.seen |= 1u << k;
      return true;
    }
    place_ = path_text(false);
    if (!place_.empty()) place_ += '.';
    place_ += shown_text(name);
    what_ = "unknown key";
    return false;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
    // The library says " at line L, column C: WHAT" of the input it saw,
    // whose runs of blanks were cut short: the place is counted here instead.
    const std::string_view text = ex.what();
    const std::size_t at = text.find(" at line ");
    const std::size_t colon = at == std::string_view::npos ? at : text.find(": ", at);
    if (colon != std::string_view::npos) {
      place_ = input_.place();
      what_ = shown_text(text.substr(colon + 2, 200));
    } else {
      // A number too large for any reading fails at its own place.
      begin_value();
      place_ = path(true);
      what_ = ex.id == 406 ? "a number too large to read" : shown_text(text.substr(0, 200));
    }
    return false;
  }

 private:
  std::string path(bool with_slot) const {
    std::string p = path_text(with_slot);
    return p.empty() ? "top level" : p;
  }

  // The JSON path of the innermost slot (with_slot) or of the container that
  // holds it; empty for the document itself.
  std::string path_text(bool with_slot) const {
    std::string p;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      if (i + 1 == frames_.size() && !with_slot) break;
      if (is_array(f.node)) {
        p += '[';
        p += std::to_string(f.items - 1);
        p += ']';
      } else if (f.node != Node::kSkip && f.key >= 0) {
        if (i > 0) p += '.';
        p += shape(f.node).keys[static_cast<std::size_t>(f.key)];
      }
    }
    return p;
  }

  bool fail_here(std::string what) {
    place_ = path(true);
    what_ = std::move(what);
    return false;
  }
  // A fault of the piece whose object just closed (its frame already popped
  // by the caller, so the path names the piece).
  bool fail_piece(const Fault& fault) {
    place_ = path(true) + fault.below;
    what_ = fault.what;
    return false;
  }

  // The value that comes next takes its place: an array counts one more item.
  void begin_value() {
    if (!frames_.empty() && is_array(frames_.back().node)) frames_.back().items++;
  }

  bool open(bool array) {
    if (frames_.empty()) {
      if (array) {
        place_ = "top level";
        what_ = "must be an object";
        return false;
      }
      frames_.push_back({Node::kRoot});
      return true;
    }
    Frame& top = frames_.back();
    if (top.node == Node::kSkip) {
      top.skipped++;
      return true;
    }
    begin_value();
    const Node child = child_of(top, array);
    if (child == Node::kRoot) return fail_here(expected_scalar());
    frames_.push_back({child});
    return start_piece(child);
  }

  // The node a container opened here becomes; kRoot when none may open here.
  Node child_of(const Frame& f, bool array) const {
    const int k = f.key;
    if (f.node == Node::kRoot && (k == kFile || k == kProblems)) return Node::kSkip;
    if (array) {
      switch (f.node) {
        case Node::kRoot:
          return k == kFacilitiesKey     ? Node::kFacilities
                 : k == kNameListsKey    ? Node::kNameLists
                 : k == kOtherRecordsKey ? Node::kOtherRecords
                                         : Node::kRoot;
        case Node::kHeader:
          return k == kFileIdKey       ? Node::kFileId
                 : k == kOtherBytesKey ? Node::kOtherBytes
                                       : Node::kRoot;
        case Node::kFacility:
          return k == kSubRecordsKey ? Node::kSubRecords : Node::kRoot;
        case Node::kNameList:
          return k == kEntriesKey ? Node::kEntries : Node::kRoot;
        default:
          return Node::kRoot;
      }
    }
    switch (f.node) {
      case Node::kRoot:
        return k == kHeaderKey ? Node::kHeader : k == kTrailerKey ? Node::kTrailer : Node::kRoot;
      case Node::kHeader:
        return k == kBounds ? Node::kHeaderBounds : k == kCreatedKey ? Node::kCreated : Node::kRoot;
      case Node::kTrailer:
        return k == kTrailerBoundsKey ? Node::kTrailerBounds : Node::kRoot;
      case Node::kOtherBytes:
        return Node::kOtherByte;
      case Node::kFacilities:
        return Node::kFacility;
      case Node::kOtherRecords:
        return Node::kOtherRecord;
      case Node::kNameLists:
        return Node::kNameList;
      case Node::kEntries:
        return Node::kEntry;
      default:
        return Node::kRoot;
    }
  }

  // What the slot at the top holds when it is not the container just opened.
  std::string expected_scalar() const {
    const Frame& f = frames_.back();
    const int k = f.key;
    switch (f.node) {
      case Node::kRoot:
        return k == kHeaderKey    ? "must be an object"
               : k == kTrailerKey ? "must be an object or null"
                                  : "must be an array";
      case Node::kHeader:
        return k == kBounds || k == kCreatedKey         ? "must be an object"
               : k == kFileIdKey || k == kOtherBytesKey ? "must be an array"
                                                        : "must be an integer";
      case Node::kTrailer:
        return k == kTrailerBoundsKey ? "must be an object" : "must be an integer";
      case Node::kFacility:
        return k == kSubRecordsKey ? "must be an array" : "must not be an object or array";
      case Node::kNameList:
        return k == kEntriesKey ? "must be an array" : "must not be an object or array";
      case Node::kOtherBytes:
      case Node::kFacilities:
      case Node::kOtherRecords:
      case Node::kNameLists:
      case Node::kEntries:
        return "must be an object";
      case Node::kSubRecords:
        return "must be a string of hex digits";
      default:
        return "must not be an object or array";
    }
  }

  bool start_piece(Node node) {
    switch (node) {
      case Node::kSkip:
        frames_.back().skipped = 0;
        return true;
      case Node::kHeader:
        header_ = HeaderSpec{};
        return true;
      case Node::kTrailer:
        trailer_ = TrailerSpec{};
        return true;
      case Node::kHeaderBounds:
      case Node::kTrailerBounds:
        box_ = CoverageBox{0, 0, 0, 0};
        return true;
      case Node::kFileId:
        header_.file_id = {};
        return true;
      case Node::kOtherByte:
        other_byte_ = HeaderBytes{};
        return true;
      case Node::kFacility:
        facility_ = FacilitySpec{};
        return true;
      case Node::kSubRecords:
        facility_.sub_records.given = Given::kValue;
        return true;
      case Node::kOtherRecord:
        other_ = OtherRecordSpec{};
        return true;
      case Node::kNameList: {
        list_ = ListSpec{};
        Fault fault;
        if (!sink_.list_begin(index_of(Node::kNameLists), &fault)) {
          frames_.pop_back();
          return fail_piece(fault);
        }
        return true;
      }
      case Node::kEntry:
        entry_ = EntrySpec{};
        return true;
      default:
        return true;
    }
  }

  // The index of the current item of the innermost array of that node.
  std::size_t index_of(Node array) const {
    for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
      if (it->node == array) return it->items - 1;
    }
    return 0;
  }

  bool close() {
    Frame& top = frames_.back();
    if (top.node == Node::kSkip && top.skipped > 0) {
      top.skipped--;
      return true;
    }
    const Frame f = top;
    const uint32_t missing = shape(f.node).required & ~f.seen;
    if (missing != 0) {
      const Shape& s = shape(f.node);
      std::size_t k = 0;
      while (!(missing & (1u << k))) ++k;
      return fail_here(std::string("the key ") + std::string(s.keys[k]) + " is missing");
    }
    if (f.node == Node::kFileId && f.items != 3) {
      return fail_here("must hold three integers");
    }
    frames_.pop_back();
    return finish_piece(f.node);
  }

  bool finish_piece(Node node) {
    Fault fault;
    bool ok = true;
    switch (node) {
      case Node::kRoot:
        return true;
      case Node::kHeader:
        ok = sink_.header(header_, &fault);
        break;
      case Node::kTrailer:
        ok = sink_.trailer(trailer_, &fault);
        break;
      case Node::kHeaderBounds:
        header_.bounds = {Given::kValue, box_};
        return true;
      case Node::kTrailerBounds:
        trailer_.bounds = {Given::kValue, box_};
        return true;
      case Node::kOtherByte:
        if (!in_free_header_bytes(other_byte_.at, other_byte_.bytes.size())) {
          fault = {"", "must lie within header bytes that the tool neither reads nor computes"};
          ok = false;
          break;
        }
        header_.other_bytes.push_back(std::move(other_byte_));
        return true;
      case Node::kFacility:
        ok = sink_.facility(facility_, frames_.back().items - 1, &fault);
        break;
      case Node::kOtherRecord:
        ok = sink_.other_record(other_, frames_.back().items - 1, &fault);
        break;
      case Node::kNameList:
        ok = sink_.list_end(list_, frames_.back().items - 1, &fault);
        break;
      case Node::kEntry:
        ok = sink_.entry(entry_, index_of(Node::kNameLists), frames_.back().items - 1, &fault);
        break;
      default:
        return true;
    }
    return ok || fail_piece(fault);
  }

  bool scalar(const Scalar& v) {
    if (frames_.empty()) {
      place_ = "top level";
      what_ = "must be an object";
      return false;
    }
    Frame& f = frames_.back();
    if (f.node == Node::kSkip) return true;
    begin_value();
    switch (f.node) {
      case Node::kRoot:
        return root_value(f.key, v);
      case Node::kHeader:
        return header_value(f.key, v);
      case Node::kHeaderBounds:
      case Node::kTrailerBounds:
        return bounds_value(f.key, v);
      case Node::kCreated:
        return created_value(f.key, v);
      case Node::kFileId: {
        int64_t id = 0;
        if (f.items > 3) return fail_here("must hold three integers");
        if (!v.integral(0, UINT16_MAX, &id)) return fail_here(range_text(0, UINT16_MAX));
        header_.file_id.value[f.items - 1] = static_cast<uint16_t>(id);
        header_.file_id.given = Given::kValue;
        return true;
      }
      case Node::kOtherByte:
        return other_byte_value(f.key, v);
      case Node::kFacility:
        return facility_value(f.key, v);
      case Node::kSubRecords: {
        Bytes sub;
        if (!hex(v, &sub)) return false;
        facility_.sub_records.value.push_back(std::move(sub));
        return true;
      }
      case Node::kOtherRecord:
        return other_record_value(f.key, v);
      case Node::kNameList:
        if (f.key == kListOffset) return offset(v, nullptr);
        if (f.key == kListReserved) {
          if (!hex(v, &list_.reserved)) return false;
          if (list_.reserved.size() != 12) return fail_here("must be 12 bytes (24 hex digits)");
          return true;
        }
        return fail_here("must be an array");
      case Node::kEntry:
        return entry_value(f.key, v);
      case Node::kTrailer:
        return trailer_value(f.key, v);
      default:
        return fail_here(expected_scalar());
    }
  }

  bool root_value(int k, const Scalar& v) {
    if (k == kFile || k == kProblems) return true;
    if (k == kTrailerKey && v.type == Scalar::kNull) {
      trailer_ = TrailerSpec{};
      trailer_.present = false;
      Fault fault;
      return sink_.trailer(trailer_, &fault) || fail_here(fault.what);
    }
    return fail_here(expected_scalar());
  }

  bool header_value(int k, const Scalar& v) {
    if (k != kFormatLevel) return fail_here(expected_scalar());
    int64_t level = 0;
    if (!v.integral(kMinFormatLevel, INT32_MAX, &level)) {
      return fail_here(range_text(kMinFormatLevel, INT32_MAX) +
                       ": the tool reads no file of a lower level");
    }
    header_.format_level = {Given::kValue, static_cast<int32_t>(level)};
    return true;
  }

  bool bounds_value(int k, const Scalar& v) {
    int64_t value = 0;
    if (!v.integral(INT32_MIN, INT32_MAX, &value))
      return fail_here(range_text(INT32_MIN, INT32_MAX));
    int32_t* fields[] = {&box_.lat_max, &box_.lat_min, &box_.lon_max, &box_.lon_min};
    *fields[k] = static_cast<int32_t>(value);
    return true;
  }

  bool created_value(int k, const Scalar& v) {
    int64_t value = 0;
    switch (k) {
      case kYear:
        if (!v.integral(INT32_MIN, INT32_MAX, &value))
          return fail_here(range_text(INT32_MIN, INT32_MAX));
        header_.year = {Given::kValue, static_cast<int32_t>(value)};
        return true;
      case kMonth:
      case kDay:
        if (!v.integral(0, UINT8_MAX, &value)) return fail_here(range_text(0, UINT8_MAX));
        (k == kMonth ? header_.month : header_.day) = {Given::kValue, static_cast<uint8_t>(value)};
        return true;
      default:
        if (!v.integral(0, UINT32_MAX, &value)) return fail_here(range_text(0, UINT32_MAX));
        header_.time = {Given::kValue, static_cast<uint32_t>(value)};
        return true;
    }
  }

  bool other_byte_value(int k, const Scalar& v) {
    if (k == kOtherByteBytes) {
      if (!hex(v, &other_byte_.bytes)) return false;
      if (other_byte_.bytes.empty()) return fail_here("must not be empty");
      return true;
    }
    int64_t at = 0;
    if (!v.integral(0, kHeaderImageSize - 1, &at))
      return fail_here(range_text(0, kHeaderImageSize - 1));
    other_byte_.at = static_cast<uint32_t>(at);
    return true;
  }

  bool facility_value(int k, const Scalar& v) {
    FacilitySpec& f = facility_;
    const bool null = v.type == Scalar::kNull;
    switch (k) {
      case kOffset:
        return offset(v, &f.offset);
      case kKind:
        if (v.type != Scalar::kString ||
            (v.text != "airport" && v.text != "vor" && v.text != "ndb" && v.text != "other")) {
          return fail_here("must be \"airport\", \"vor\", \"ndb\" or \"other\"");
        }
        f.kind = {Given::kValue, std::string(v.text)};
        return true;
      case kSubtype:
        return int32_field(v, &f.subtype, false);
      case kName:
        if (null) {
          f.name.given = Given::kNull;
          return true;
        }
        f.name.given = Given::kValue;
        return name(v, &f.name.value);
      case kLat:
      case kLon: {
        Stated<double>& field = k == kLat ? f.lat : f.lon;
        if (null) {
          field.given = Given::kNull;
          return true;
        }
        double degrees = 0;
        if (!v.number(&degrees)) return fail_here("must be a number of degrees, or null");
        field = {Given::kValue, degrees};
        return true;
      }
      case kLatRaw:
        return int32_field(v, &f.lat_raw, true);
      case kLonRaw:
        return int32_field(v, &f.lon_raw, true);
      case kAi:
        if (v.type != Scalar::kBool) return fail_here("must be true or false");
        f.ai = {Given::kValue, v.boolean};
        return true;
      case kReserved:
        f.reserved.given = Given::kValue;
        if (!hex(v, &f.reserved.value)) return false;
        if (f.reserved.value.size() > 4) return fail_here("must be at most 4 bytes (8 hex digits)");
        return true;
      case kEnd:
        f.end.given = Given::kValue;
        return hex(v, &f.end.value);
      default:
        return fail_here(expected_scalar());
    }
  }

  bool other_record_value(int k, const Scalar& v) {
    if (k == kOtherOffset) return offset(v, nullptr);
    if (k == kAfter) return offset(v, &other_.after);
    return hex(v, &other_.bytes);
  }

  bool entry_value(int k, const Scalar& v) {
    switch (k) {
      case kEntryOffset:
      case kLink:
        return offset(v, nullptr);
      case kLevel: {
        if (v.type == Scalar::kString) {
          for (int32_t code : {kLevelRegion, kLevelCountry, kLevelState, kLevelCity, kLevelAirport,
                               kLevelVor, kLevelNdb}) {
            if (v.text == find_level(code)->word) {
              entry_.level = code;
              return true;
            }
          }
          return fail_here(
              "must be \"region\", \"country\", \"state\", \"city\", \"airport\", \"vor\", "
              "\"ndb\" or an integer");
        }
        Stated<int32_t> level;
        if (!int32_field(v, &level, false)) return false;
        entry_.level = level.value;
        return true;
      }
      case kEntryName:
        return name(v, &entry_.name);
      case kFacilityKey:
        return offset(v, &entry_.facility);
      default:
        return hex(v, &entry_.tail);
    }
  }

  bool trailer_value(int k, const Scalar& v) {
    if (k != kWord) return fail_here(expected_scalar());
    int64_t word = 0;
    if (!v.integral(0, UINT32_MAX, &word)) return fail_here(range_text(0, UINT32_MAX));
    trailer_.word = {Given::kValue, static_cast<uint32_t>(word)};
    return true;
  }

  // An offset: an identity, or a place the build computes anew. Null is as
  // good as leaving it out.
  bool offset(const Scalar& v, Stated<uint32_t>* out) {
    if (v.type == Scalar::kNull) return true;
    int64_t value = 0;
    if (!v.integral(0, UINT32_MAX, &value))
      return fail_here(range_text(0, UINT32_MAX) + " or null");
    if (out != nullptr) *out = {Given::kValue, static_cast<uint32_t>(value)};
    return true;
  }

  bool int32_field(const Scalar& v, Stated<int32_t>* out, bool nullable) {
    if (nullable && v.type == Scalar::kNull) {
      out->given = Given::kNull;
      return true;
    }
    int64_t value = 0;
    if (!v.integral(INT32_MIN, INT32_MAX, &value)) {
      return fail_here(range_text(INT32_MIN, INT32_MAX) + (nullable ? ", or null" : ""));
    }
    *out = {Given::kValue, static_cast<int32_t>(value)};
    return true;
  }

  bool hex(const Scalar& v, Bytes* out) {
    if (v.type != Scalar::kString || !decode_hex(v.text, out)) {
      return fail_here("must be a string of hex digits, two for each byte");
    }
    return true;
  }

  bool name(const Scalar& v, std::string* out) {
    if (v.type != Scalar::kString) return fail_here("must be a string");
    uint32_t bad = 0;
    if (windows_1252_from_utf8(v.text, out, &bad)) return true;
    if (bad == 0) return fail_here("a NUL inside a name");
    char what[96];
    std::snprintf(what, sizeof what, "U+%04X is not a character that Windows-1252 holds", bad);
    return fail_here(what);
  }

  DescriptionSink& sink_;
  ChunkInput& input_;
  std::vector<Frame> frames_;
  std::string place_;
  std::string what_;

  HeaderSpec header_;
  TrailerSpec trailer_;
  CoverageBox box_{};
  HeaderBytes other_byte_;
  FacilitySpec facility_;
  OtherRecordSpec other_;
  ListSpec list_;
  EntrySpec entry_;
};

}  // namespace

ReadOutcome read_description(std::FILE* in, DescriptionSink& sink, std::string* message) {
  ChunkInput input(in);
  Handler handler(sink, input);
  const bool ok = Json::sax_parse(ChunkIterator(&input), ChunkIterator(), &handler,
                                  Json::input_format_t::json, true, false);
  if (input.failed()) return ReadOutcome::kUnreadable;
  if (ok && !handler.failed()) return ReadOutcome::kDone;
  *message = handler.message();
  return ReadOutcome::kInvalid;
}

}  // namespace quarnel
