// The AFD file layout: every code, offset and size that reader and writer share.
// Values are decoded from bytes with shifts, never by overlaying structs, so the
// code is independent of host byte order and alignment.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quarnel {

// Work-buffer sizes. NamePool is sized by the catalogue: 20 bytes per slot.
constexpr std::size_t kObjectBufferSize = 64000;
constexpr std::size_t kCatalogueCapacity = 20000;
constexpr std::size_t kNamePoolSize = 20 * kCatalogueCapacity;
// The scan looks at no more than this many payload bytes of a record.
constexpr std::size_t kScanPayloadLimit = kObjectBufferSize - 10;
constexpr std::size_t kNameTableSlots = 64;

// FileHeader (128 bytes at file offset 0).
constexpr std::size_t kFileHeaderSize = 128;
constexpr std::size_t kFhVersionWord = 0;  // 16 bits, written as 1
constexpr std::size_t kFhBounds = 2;       // CoverageBox, 16 bytes
constexpr std::size_t kFhTrailerOffset = 70;
constexpr std::size_t kFhMagic = 118;
constexpr uint32_t kMagic = 0x87654321u;

// SectionHeader (40 bytes at file offset 128). Offsets are relative to it.
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kShFileId = 0;  // 3 x 16 bits
constexpr std::size_t kShCreatedYear = 6;
constexpr std::size_t kShCreatedDay = 10;
constexpr std::size_t kShCreatedMonth = 11;
constexpr std::size_t kShCreatedTime = 12;
constexpr std::size_t kShSectionTag = 16;
constexpr std::size_t kShFormatLevel = 24;
constexpr std::size_t kShNameListOffset = 28;
constexpr std::size_t kShObjectListOffset = 36;
constexpr uint32_t kSectionTag = 1;
constexpr int32_t kMinFormatLevel = 3;

constexpr std::size_t kHeaderImageSize = kFileHeaderSize + kSectionHeaderSize;
// The file header and the section header of a file, as one block.
using HeaderImage = std::array<uint8_t, kHeaderImageSize>;

// The header bytes that the tool neither reads nor computes, as [begin, end)
// offsets from the start of the file. It writes 0 there, but 1 into the first
// word.
struct HeaderRun {
  std::size_t begin;
  std::size_t end;
};
constexpr HeaderRun kFreeHeaderBytes[] = {
    {kFhVersionWord, kFhVersionWord + 2},
    {kFhBounds + 16, kFhTrailerOffset},
    {kFhTrailerOffset + 4, kFhMagic},
    {kFhMagic + 4, kFileHeaderSize},
    {kFileHeaderSize + kShSectionTag + 4, kFileHeaderSize + kShFormatLevel},
    {kFileHeaderSize + kShNameListOffset + 4, kFileHeaderSize + kShObjectListOffset},
};
constexpr uint8_t written_header_byte(std::size_t at) { return at == kFhVersionWord ? 1 : 0; }

// Record framing shared by the object list and the name-list chain.
constexpr std::size_t kRecordHeadSize = 8;
constexpr std::size_t kRecType = 0;
constexpr std::size_t kRecSize = 4;
constexpr uint32_t kTypeEnd = 0;
constexpr uint32_t kTypeContainer = 1;
constexpr uint32_t kTypeNameListHead = 0x30001;
constexpr uint32_t kTypeNameEntry = 0x30002;

// Container (type 1).
constexpr std::size_t kContSubtype = 8;
constexpr std::size_t kContSubRecords = 16;
constexpr int32_t kSubtypeAirport = 1;
constexpr int32_t kSubtypeVor = 2;
constexpr int32_t kSubtypeNdb = 3;
// The facility subtypes the tool knows; a Container of any other is not catalogued.
constexpr bool is_facility_subtype(int32_t subtype) {
  return subtype >= kSubtypeAirport && subtype <= kSubtypeNdb;
}

// SubRecord codes and payload offsets.
constexpr std::size_t kSubHeadSize = 8;
constexpr uint32_t kSubEnd = 0;
constexpr uint32_t kSubPosition = 0x10001;
constexpr uint32_t kSubNavaid = 0x10004;
constexpr uint32_t kSubAirportName = 0x10006;
constexpr uint32_t kSubAiMarker = 0x11001;
constexpr std::size_t kPosLatitude = 4;
constexpr std::size_t kPosLongitude = 12;
constexpr std::size_t kNavaidName = 48;

// NameListHead (type 0x30001): read and written as a 24-byte unit.
constexpr std::size_t kNameListHeadSize = 24;
constexpr std::size_t kNlhEntryCount = 20;
// Head payload (16) plus the closing end record (8) that a list's size spans.
constexpr int32_t kNameListOverhead = 16 + 8;

// NameEntry (type 0x30002).
constexpr std::size_t kNeNameKind = 8;
constexpr std::size_t kNeFacilityOffset = 12;
constexpr std::size_t kNeName = 16;

// name_kind levels; a NameListHead counts as level 0.
constexpr int32_t kLevelHead = 0;
constexpr int32_t kLevelRegion = 0x10001;
constexpr int32_t kLevelCountry = 0x20001;
constexpr int32_t kLevelState = 0x30001;
constexpr int32_t kLevelCity = 0x40001;
constexpr int32_t kLevelAirport = 0x50001;
constexpr int32_t kLevelVor = 0x50003;
constexpr int32_t kLevelNdb = 0x50004;

// Whether an entry of `level` names a place (a region, country, state, city or
// any other level below the airport's) rather than a facility: an entry of the
// airport level or above files a facility, and is never a place.
constexpr bool is_place_level(int32_t level) { return level < kLevelAirport; }

// Trailer (20 bytes at trailer_offset).
constexpr std::size_t kTrailerSize = 20;
constexpr std::size_t kTrailerBox = 4;
constexpr uint32_t kDefaultTrailerWord = 0x2000033Fu;
constexpr std::size_t kBoxSize = 16;

// Little-endian access to bytes the caller has already bounds-checked.
inline uint32_t get_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t get_i32(const uint8_t* p) { return static_cast<int32_t>(get_u32(p)); }
inline uint16_t get_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void put_u32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void put_i32(uint8_t* p, int32_t v) { put_u32(p, static_cast<uint32_t>(v)); }
inline void put_u16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Where a header image (kHeaderImageSize bytes) says the object list, the
// name-list chain and the trailer start, and the setters a writer uses.
inline uint32_t object_list_offset(const uint8_t* image) {
  return get_u32(image + kFileHeaderSize + kShObjectListOffset);
}
inline uint32_t name_list_offset(const uint8_t* image) {
  return get_u32(image + kFileHeaderSize + kShNameListOffset);
}
inline uint32_t trailer_offset(const uint8_t* image) { return get_u32(image + kFhTrailerOffset); }
inline void set_object_list_offset(uint8_t* image, uint32_t offset) {
  put_u32(image + kFileHeaderSize + kShObjectListOffset, offset);
}
inline void set_name_list_offset(uint8_t* image, uint32_t offset) {
  put_u32(image + kFileHeaderSize + kShNameListOffset, offset);
}
inline void set_trailer_offset(uint8_t* image, uint32_t offset) {
  put_u32(image + kFhTrailerOffset, offset);
}

// Whether `trailer_offset` (0: no trailer) points at no whole trailer in a
// file of `size` bytes.
constexpr bool trailer_points_nowhere(uint32_t trailer_offset, uint64_t size) {
  return trailer_offset != 0 && (trailer_offset > size || size - trailer_offset < kTrailerSize);
}

// A 32-bit field of a record of which only `len` bytes are known; bytes that
// were never read count as zero rather than as stale buffer contents.
inline uint32_t field_u32(const uint8_t* rec, std::size_t len, std::size_t off) {
  return len >= 4 && off <= len - 4 ? get_u32(rec + off) : 0;
}
inline int32_t field_i32(const uint8_t* rec, std::size_t len, std::size_t off) {
  return static_cast<int32_t>(field_u32(rec, len, off));
}

}  // namespace quarnel
