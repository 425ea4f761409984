// The description reader's values: each scalar checked against what its key
// may hold, and put into the piece being read.
#include <cstdio>
#include <string>

#include "document/description_reader.h"
#include "format/afd_format.h"
#include "format/levels.h"
#include "format/text_forms.h"

namespace quarnel::reader {

namespace {

std::string range_text(int64_t lo, int64_t hi) {
  return "must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
}

}  // namespace

bool Handler::scalar(const Scalar& v) {
  if (frames_.empty()) {
    place_ = "top level";
    what_ = "must be an object";
    return false;
  }
  Frame& f = frames_.back();
  if (f.node == Node::kSkip) return true;
  f.value_next = false;
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
    case Node::kSubRecords:
      return hex(v);
    case Node::kOtherRecord:
      return other_record_value(f.key, v);
    case Node::kNameList:
      if (f.key == kListOffset) return offset(v, nullptr);
      if (f.key == kListReserved) {
        if (!hex(v)) return false;
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

bool Handler::root_value(int k, const Scalar& v) {
  if (k == kFile || k == kProblems || k == kProblemsNotListed) return true;
  if (k == kTrailerKey && v.type == Scalar::kNull) {
    trailer_ = DescribedTrailer{};
    trailer_.present = false;
    Fault fault;
    return sink_.trailer(trailer_, &fault) || fail_here(fault.what);
  }
  return fail_here(expected_scalar());
}

bool Handler::header_value(int k, const Scalar& v) {
  if (k != kFormatLevel) return fail_here(expected_scalar());
  int64_t level = 0;
  if (!v.integral(kMinFormatLevel, INT32_MAX, &level)) {
    return fail_here(range_text(kMinFormatLevel, INT32_MAX) +
                     ": the tool reads no file of a lower level");
  }
  header_.format_level = {Given::kValue, static_cast<int32_t>(level)};
  return true;
}

bool Handler::bounds_value(int k, const Scalar& v) {
  int64_t value = 0;
  if (!v.integral(INT32_MIN, INT32_MAX, &value)) return fail_here(range_text(INT32_MIN, INT32_MAX));
  int32_t* fields[] = {&box_.lat_max, &box_.lat_min, &box_.lon_max, &box_.lon_min};
  *fields[k] = static_cast<int32_t>(value);
  return true;
}

bool Handler::created_value(int k, const Scalar& v) {
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

bool Handler::other_byte_value(int k, const Scalar& v) {
  if (k == kOtherByteBytes) {
    if (!hex(v)) return false;
    if (other_byte_.bytes.empty()) return fail_here("must not be empty");
    return true;
  }
  int64_t at = 0;
  if (!v.integral(0, kHeaderImageSize - 1, &at))
    return fail_here(range_text(0, kHeaderImageSize - 1));
  other_byte_.at = static_cast<uint32_t>(at);
  return true;
}

bool Handler::facility_value(int k, const Scalar& v) {
  DescribedFacility& f = facility_;
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
      if (!hex(v)) return false;
      if (f.reserved.value.size() > 4) return fail_here("must be at most 4 bytes (8 hex digits)");
      return true;
    case kEnd:
      f.end.given = Given::kValue;
      return hex(v);
    default:
      return fail_here(expected_scalar());
  }
}

bool Handler::other_record_value(int k, const Scalar& v) {
  if (k == kOtherOffset) return offset(v, nullptr);
  if (k == kAfter) return offset(v, &other_.after);
  return hex(v);
}

bool Handler::entry_value(int k, const Scalar& v) {
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
      return hex(v);
  }
}

bool Handler::trailer_value(int k, const Scalar& v) {
  if (k != kWord) return fail_here(expected_scalar());
  int64_t word = 0;
  if (!v.integral(0, UINT32_MAX, &word)) return fail_here(range_text(0, UINT32_MAX));
  trailer_.word = {Given::kValue, static_cast<uint32_t>(word)};
  return true;
}

// An offset: an identity, or a place the build computes anew. Null is as
// good as leaving it out.
bool Handler::offset(const Scalar& v, Stated<uint32_t>* out) {
  if (v.type == Scalar::kNull) return true;
  int64_t value = 0;
  if (!v.integral(0, UINT32_MAX, &value)) return fail_here(range_text(0, UINT32_MAX) + " or null");
  if (out != nullptr) *out = {Given::kValue, static_cast<uint32_t>(value)};
  return true;
}

bool Handler::int32_field(const Scalar& v, Stated<int32_t>* out, bool nullable) {
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

bool Handler::hex(const Scalar& v) {
  const bool diverted = diverted_;
  diverted_ = false;
  if (v.type != Scalar::kString || !diverted) {
    return fail_here("must be a string of hex digits, two for each byte");
  }
  const char* fault = hex_.finish();
  return fault == nullptr || fail_here(fault);
}

bool Handler::hex_target(const Frame& f) {
  switch (f.node) {
    case Node::kFacility:
      if (f.key == kReserved) {
        hex_.into_bytes(&facility_.reserved.value, 4);
      } else if (f.key == kEnd) {
        hex_.into_piece(&facility_.end.value, kHeldPieceBytes);
      } else {
        return false;
      }
      return true;
    case Node::kSubRecords:
      hex_.into_sub_record(&facility_.sub_records.value);
      return true;
    case Node::kOtherRecord:
      if (f.key != kOtherRecordBytes) return false;
      hex_.into_piece(&other_.bytes, kHeldPieceBytes);
      return true;
    case Node::kEntry:
      if (f.key != kTail) return false;
      hex_.into_piece(&entry_.tail, kHeldPieceBytes);
      return true;
    case Node::kNameList:
      if (f.key != kListReserved) return false;
      hex_.into_bytes(&list_.reserved, 12);
      return true;
    case Node::kOtherByte:
      if (f.key != kOtherByteBytes) return false;
      hex_.into_bytes(&other_byte_.bytes, kHeaderImageSize);
      return true;
    default:
      return false;
  }
}

StringRoute Handler::route_string() {
  if (frames_.empty()) return StringRoute::kParse;
  const Frame& f = frames_.back();
  if (f.node == Node::kSkip) return StringRoute::kDrop;
  if (!is_array(f.node) && !f.value_next) return StringRoute::kParse;  // a key
  if (f.node == Node::kRoot &&
      (f.key == kFile || f.key == kProblems || f.key == kProblemsNotListed)) {
    return StringRoute::kDrop;
  }
  if (!hex_target(f)) return StringRoute::kParse;
  diverted_ = true;
  return StringRoute::kHex;
}

// What a string too long for the parser would have been told, said at its
// slot: a name's own limit, or what the slot holds instead of a string.
void Handler::too_long(bool string) {
  if (!string) {
    begin_value();
    fail_here("a number too long to read");
    return;
  }
  if (!frames_.empty() && !is_array(frames_.back().node) && !frames_.back().value_next) {
    place_ = path(false);
    what_ = "a key of more than " + std::to_string(kMaxStringText) + " characters: no key is one";
    return;
  }
  if (!frames_.empty()) {
    const Frame& f = frames_.back();
    if (f.node == Node::kFacility && f.key == kName) {
      fail_here(kUnreadRecordText);
      return;
    }
    if (f.node == Node::kEntry && f.key == kEntryName) {
      fail_here(kEntryNameTooLong);
      return;
    }
  }
  Scalar s;
  s.type = Scalar::kString;
  if (scalar(s)) fail_here("a string too long to read");
}

bool Handler::name(const Scalar& v, std::string* out) {
  if (v.type != Scalar::kString) return fail_here("must be a string");
  uint32_t bad = 0;
  if (windows_1252_from_utf8(v.text, out, &bad)) return true;
  if (bad == 0) return fail_here("a NUL inside a name");
  char what[96];
  std::snprintf(what, sizeof what, "U+%04X is not a character that Windows-1252 holds", bad);
  return fail_here(what);
}

}  // namespace quarnel::reader
