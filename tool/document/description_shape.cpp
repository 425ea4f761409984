// The shape of a description: the keys of each piece, which of them it
// needs, what may open where, and what a slot holds when it holds something
// else.
#include "document/description_reader.h"

namespace quarnel::reader {

const Shape& shape(Node node) {
  static const Shape kRootShape{
      {"file", "header", "facilities", "other_records", "name_lists", "trailer", "problems",
       "problems_not_listed"},
      0};
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

// The node a container opened here becomes; kRoot when none may open here.
Node Handler::child_of(const Frame& f, bool array) const {
  const int k = f.key;
  if (f.node == Node::kRoot && (k == kFile || k == kProblems || k == kProblemsNotListed)) {
    return Node::kSkip;
  }
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

}  // namespace quarnel::reader
