// Inside the description reader: the shape of the document, and the handler
// that nlohmann/json's SAX parser tells every value. The handler keeps a
// stack of frames, one per open object or array, so that it knows at each
// value which key of which piece it is, and the JSON path of any fault.
// description_shape.cpp says what the shape is, description.cpp walks it,
// description_values.cpp takes the values; the handler also tells the input
// which strings to pass the parser by (json_input.h).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "document/described.h"
#include "document/hex_decoder.h"
#include "document/json_input.h"

namespace quarnel::reader {

using Json = nlohmann::json;

// The pieces of a document, and the arrays that hold them; kSkip is a value
// that is read over (file, problems, problems_not_listed).
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
  kProblems,
  kProblemsNotListed
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

const Shape& shape(Node node);
bool is_array(Node node);

struct Frame {
  Node node;
  int key = -1;             // objects: the key whose value comes next
  bool value_next = false;  // objects: a key was read, its value was not
  std::size_t items = 0;    // arrays: the items begun so far
  uint32_t seen = 0;        // objects: the keys given so far
  std::size_t skipped = 0;  // kSkip: containers open inside the skipped value
};

// Containers nested in a value that is read over; deeper ones are refused,
// or the parser's stack of them would grow with the document.
constexpr std::size_t kMaxSkippedDepth = 512;

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

class Handler : public InputGuard {
 public:
  using json = Json;

  explicit Handler(DescriptionSink& sink) : sink_(sink), hex_(sink.spool()) {}
  void attach(ChunkInput& input) { input_ = &input; }

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
  bool key(json::string_t& key_text);
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex);

  // The input's questions.
  StringRoute route_string() override;
  void hex_text(const char* text, std::size_t n) override { hex_.feed(text, n); }
  void too_long(bool string) override;

 private:
  std::string path(bool with_slot) const;

  // The JSON path of the innermost slot (with_slot) or of the container that
  // holds it; empty for the document itself.
  std::string path_text(bool with_slot) const;

  bool fail_here(std::string what);
  // A fault of the piece whose object just closed (its frame already popped
  // by the caller, so the path names the piece).
  bool fail_piece(const Fault& fault);

  // The value that comes next takes its place: an array counts one more item.
  void begin_value();

  bool open(bool array);

  // The node a container opened here becomes; kRoot when none may open here.
  Node child_of(const Frame& f, bool array) const;

  // What the slot at the top holds when it is not the container just opened.
  std::string expected_scalar() const;

  bool start_piece(Node node);

  // The index of the current item of the innermost array of that node.
  std::size_t index_of(Node array) const;

  bool close();

  bool finish_piece(Node node);

  bool scalar(const Scalar& v);

  bool root_value(int k, const Scalar& v);

  bool header_value(int k, const Scalar& v);

  bool bounds_value(int k, const Scalar& v);

  bool created_value(int k, const Scalar& v);

  bool other_byte_value(int k, const Scalar& v);

  bool facility_value(int k, const Scalar& v);

  bool other_record_value(int k, const Scalar& v);

  bool entry_value(int k, const Scalar& v);

  bool trailer_value(int k, const Scalar& v);

  // An offset: an identity, or a place the build computes anew. Null is as
  // good as leaving it out.
  bool offset(const Scalar& v, Stated<uint32_t>* out);

  bool int32_field(const Scalar& v, Stated<int32_t>* out, bool nullable);

  // A hex slot's value: a string that the input told the decoder.
  bool hex(const Scalar& v);
  // Where the bytes of a hex string in this slot go; false: not a hex slot.
  bool hex_target(const Frame& f);

  bool name(const Scalar& v, std::string* out);

  DescriptionSink& sink_;
  ChunkInput* input_ = nullptr;
  HexDecoder hex_;
  bool diverted_ = false;  // the string just read went to the decoder
  std::vector<Frame> frames_;
  std::string place_;
  std::string what_;

  DescribedHeader header_;
  DescribedTrailer trailer_;
  CoverageBox box_{};
  HeaderBytes other_byte_;
  DescribedFacility facility_;
  DescribedOtherRecord other_;
  DescribedList list_;
  DescribedEntry entry_;
};

}  // namespace quarnel::reader
