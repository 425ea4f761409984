// The description reader: nlohmann/json's SAX parser over a chunked read of
// the input, and a handler that follows the document's shape with a stack of
// frames. Every value is checked where it stands, so an error names its exact
// path, and a piece goes to the sink as soon as its object closes.
#include "document/description.h"

#include <string>

#include "document/description_reader.h"
#include "format/afd_format.h"
#include "format/text_forms.h"

namespace quarnel {

namespace reader {

namespace {

bool in_free_header_bytes(uint32_t at, std::size_t n) {
  for (const HeaderRun& r : kFreeHeaderBytes) {
    if (at >= r.begin && at < r.end && n <= r.end - at) return true;
  }
  return false;
}

}  // namespace

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

bool Handler::key(json::string_t& key_text) {
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

bool Handler::parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
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

std::string Handler::path(bool with_slot) const {
  std::string p = path_text(with_slot);
  return p.empty() ? "top level" : p;
}

// The JSON path of the innermost slot (with_slot) or of the container that
// holds it; empty for the document itself.
std::string Handler::path_text(bool with_slot) const {
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

bool Handler::fail_here(std::string what) {
  place_ = path(true);
  what_ = std::move(what);
  return false;
}

// A fault of the piece whose object just closed (its frame already popped
// by the caller, so the path names the piece).
bool Handler::fail_piece(const Fault& fault) {
  place_ = path(true) + fault.below;
  what_ = fault.what;
  return false;
}

// The value that comes next takes its place: an array counts one more item.
void Handler::begin_value() {
  if (!frames_.empty() && is_array(frames_.back().node)) frames_.back().items++;
}

bool Handler::open(bool array) {
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
Node Handler::child_of(const Frame& f, bool array) const {
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
std::string Handler::expected_scalar() const {
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

bool Handler::start_piece(Node node) {
  switch (node) {
    case Node::kSkip:
      frames_.back().skipped = 0;
      return true;
    case Node::kHeader:
      header_ = DescribedHeader{};
      return true;
    case Node::kTrailer:
      trailer_ = DescribedTrailer{};
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
      facility_ = DescribedFacility{};
      return true;
    case Node::kSubRecords:
      facility_.sub_records.given = Given::kValue;
      return true;
    case Node::kOtherRecord:
      other_ = DescribedOtherRecord{};
      return true;
    case Node::kNameList: {
      list_ = DescribedList{};
      Fault fault;
      if (!sink_.list_begin(index_of(Node::kNameLists), &fault)) {
        frames_.pop_back();
        return fail_piece(fault);
      }
      return true;
    }
    case Node::kEntry:
      entry_ = DescribedEntry{};
      return true;
    default:
      return true;
  }
}

// The index of the current item of the innermost array of that node.
std::size_t Handler::index_of(Node array) const {
  for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
    if (it->node == array) return it->items - 1;
  }
  return 0;
}

bool Handler::close() {
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

bool Handler::finish_piece(Node node) {
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

}  // namespace reader

ReadOutcome read_description(std::FILE* in, DescriptionSink& sink, std::string* message) {
  ChunkInput input(in);
  reader::Handler handler(sink, input);
  const bool ok = reader::Json::sax_parse(ChunkIterator(&input), ChunkIterator(), &handler,
                                          reader::Json::input_format_t::json, true, false);
  if (input.failed()) return ReadOutcome::kUnreadable;
  if (ok && !handler.failed()) return ReadOutcome::kDone;
  *message = handler.message();
  return ReadOutcome::kInvalid;
}

}  // namespace quarnel
