// The builder: spools while the description streams in, then writes the file
// front to back through the output writer.
#include "document/builder.h"

#include <algorithm>
#include <cstring>

#include "document/facility_record.h"
#include "format/afd_format.h"
#include "format/coverage.h"
#include "format/records.h"
#include "io/platform.h"
#include "output/layout.h"
#include "output/record_copy.h"

namespace quarnel {

namespace {

// The parts of a file that hold no record: headers, the end records of the
// object list and the chain, the trailer.
constexpr uint64_t kFixedBytes = kHeaderImageSize + 2 * kRecordHeadSize + kTrailerSize;
constexpr std::size_t kScratchBuffer = std::size_t{1} << 20;

const char* const kTooManyRecords =
    "more than the 20000 records that the tool can catalogue: it would not read back the rest";
const char* const kTooLarge = "the file would pass the 4 GiB that its offsets can address";

bool is_catalogued_subtype(int32_t subtype) {
  return subtype >= kSubtypeAirport && subtype <= kSubtypeNdb;
}

std::string list_path(std::size_t list) { return "name_lists[" + std::to_string(list) + "]"; }
std::string entry_path(std::size_t list, std::size_t entry) {
  return list_path(list) + ".entries[" + std::to_string(entry) + "]";
}

CoverageBox covering(CoverageBox given, const CoverageBox& seen) {
  if (seen == kEmptyBox) return given;
  log_bounds0(given, seen.lat_max, seen.lon_max);
  log_bounds0(given, seen.lat_min, seen.lon_min);
  return given;
}

}  // namespace

void FileBuilder::Scratch::put(const uint8_t* bytes, std::size_t n) {
  if (n > 0 && std::fwrite(bytes, 1, n, file) != n) failed = true;
  size += n;
}

bool FileBuilder::Scratch::get(uint8_t* bytes, std::size_t n) {
  if (n > 0 && std::fread(bytes, 1, n, file) != n) failed = true;
  return !failed;
}

FileBuilder::FileBuilder(RunState& rs, std::time_t now) : rs_(rs), now_(now) {}

FileBuilder::~FileBuilder() {
  for (Scratch* s : {&objects_, &others_, &entries_}) {
    if (s->file != nullptr) std::fclose(s->file);
  }
}

bool FileBuilder::begin() {
  for (Scratch* s : {&objects_, &others_, &entries_}) {
    s->file = platform::create_scratch_beside(rs_.output_path);
    if (s->file == nullptr) return false;
    std::setvbuf(s->file, nullptr, _IOFBF, kScratchBuffer);
  }
  init_header(rs_, now_);
  init_bounds(rs_.airport_box);
  init_bounds(rs_.ai_airport_box);
  return write_header_image(rs_) == kHeaderImageSize;
}

bool FileBuilder::count_record(bool catalogued, Fault* fault) {
  if (catalogued && ++catalogued_ > kCatalogueCapacity) {
    *fault = {"", kTooManyRecords};
    return false;
  }
  if (kFixedBytes + object_bytes_ + list_bytes_ > UINT32_MAX) {
    *fault = {"", kTooLarge};
    return false;
  }
  return true;
}

bool FileBuilder::header(const DescribedHeader& desc, Fault*) {
  header_ = desc;
  header_given_ = true;
  return true;
}

bool FileBuilder::trailer(const DescribedTrailer& desc, Fault*) {
  trailer_ = desc;
  trailer_given_ = true;
  return true;
}

bool FileBuilder::facility(const DescribedFacility& desc, std::size_t, Fault* fault) {
  AssembledFacility f;
  if (!assemble_facility(desc, &f, fault)) return false;
  const auto ordinal = static_cast<uint32_t>(facilities_.size());
  if (desc.offset.has() && !ordinal_of_.emplace(desc.offset.value, ordinal).second) {
    *fault = {".offset", "another facility has this offset: an offset is a facility's identity"};
    return false;
  }
  object_bytes_ += f.record.size();
  if (!count_record(is_catalogued_subtype(f.subtype), fault)) return false;
  const std::size_t seen = std::min(f.record.size(), kRecordHeadSize + kScanPayloadLimit);
  log_bounds(rs_.airport_box, f.record.data(), seen);
  if (has_ai_marker(f.record.data(), seen)) log_bounds(rs_.ai_airport_box, f.record.data(), seen);
  facilities_.push_back({static_cast<uint32_t>(f.record.size()),
                         static_cast<uint32_t>(kHeaderImageSize + facility_bytes_)});
  facility_bytes_ += f.record.size();
  last_subtype_ = f.subtype;
  rs_.output.write(f.record.data(), f.record.size());
  return true;
}

bool FileBuilder::other_record(const DescribedOtherRecord& desc, std::size_t index, Fault* fault) {
  const Bytes& b = desc.bytes;
  const char* what = nullptr;
  if (b.size() < kRecordHeadSize) {
    what = "a record needs at least its 8-byte head";
  } else if (get_u32(b.data()) == kTypeEnd) {
    what = "a record of type 0 would end the object list";
  } else if (get_u32(b.data()) == kTypeContainer) {
    what = "a record of type 1 is a facility: describe it under facilities";
  } else if (get_u32(b.data() + kRecSize) != b.size() - kRecordHeadSize) {
    what = "the record's size field must count the bytes behind its head";
  }
  if (what != nullptr) {
    *fault = {".bytes", what};
    return false;
  }
  object_bytes_ += b.size();
  if (!count_record(get_u32(b.data()) == kTypeNameEntry, fault)) return false;
  OtherPlace place;
  place.index = index;
  place.anchored = desc.after.has();
  place.after = desc.after.value;
  place.at = others_.size;
  place.size = static_cast<uint32_t>(b.size());
  other_places_.push_back(place);
  others_.put(b.data(), b.size());
  return true;
}

bool FileBuilder::list_begin(std::size_t, Fault* fault) {
  lists_.push_back({Bytes(12, 0), 0, 0});
  list_bytes_ += kNameListHeadSize + kRecordHeadSize;
  return count_record(true, fault);
}

bool FileBuilder::entry(const DescribedEntry& desc, std::size_t, std::size_t, Fault* fault) {
  // The scan looks at a name no further than this.
  if (desc.name.size() + 1 > kScanPayloadLimit - kNeName + kRecordHeadSize) {
    *fault = {".name", "longer than the 63981 bytes that the tool reads of a name"};
    return false;
  }
  Bytes rec(kNeName);
  put_u32(rec.data() + kRecType, kTypeNameEntry);
  put_i32(rec.data() + kNeNameKind, desc.level);
  rec.resize(kNeName + desc.name.size() + 1 + desc.tail.size());
  std::memcpy(rec.data() + kNeName, desc.name.data(), desc.name.size());
  rec[kNeName + desc.name.size()] = 0;
  if (!desc.tail.empty()) {
    std::memcpy(rec.data() + kNeName + desc.name.size() + 1, desc.tail.data(), desc.tail.size());
  }
  if (rec.size() - kRecordHeadSize > static_cast<std::size_t>(INT32_MAX)) {
    *fault = {".tail", "the record would pass the 2 GiB that its size field can count"};
    return false;
  }
  put_i32(rec.data() + kRecSize, static_cast<int32_t>(rec.size() - kRecordHeadSize));
  ListPlace& list = lists_.back();
  list.entries++;
  list.entry_bytes += rec.size();
  list_bytes_ += rec.size();
  if (!count_record(true, fault)) return false;
  // Each entry goes to the scratch file behind the identity of its facility.
  uint8_t link[5] = {desc.facility.has() ? uint8_t{1} : uint8_t{0}};
  put_u32(link + 1, desc.facility.value);
  entries_.put(link, sizeof link);
  entries_.put(rec.data(), rec.size());
  return true;
}

bool FileBuilder::list_end(const DescribedList& desc, std::size_t, Fault*) {
  if (!desc.reserved.empty()) lists_.back().reserved = desc.reserved;
  return true;
}

bool FileBuilder::write_objects(std::string* message, uint64_t* total) {
  *total = kHeaderImageSize + facility_bytes_;
  if (!other_places_.empty() && !interleave_others(message, total)) return false;
  if (catalogued_ == kCatalogueCapacity && lists_.empty() && !facilities_.empty() &&
      other_places_.empty() && !is_catalogued_subtype(last_subtype_)) {
    *message = std::string("top level: ") + kTooManyRecords;
    return false;
  }
  *total += write_end_mark(rs_);
  return true;
}

// The facility records move aside into a scratch file, and come back with
// each other record behind the facility it follows.
bool FileBuilder::interleave_others(std::string* message, uint64_t* total) {
  for (OtherPlace& o : other_places_) {
    if (!o.anchored) continue;
    const auto it = ordinal_of_.find(o.after);
    if (it == ordinal_of_.end()) {
      *message =
          "other_records[" + std::to_string(o.index) + "].after: no facility has this offset";
      return false;
    }
    o.after_ordinal = it->second;
  }
  std::stable_sort(
      other_places_.begin(), other_places_.end(),
      [](const OtherPlace& a, const OtherPlace& b) { return a.after_ordinal < b.after_ordinal; });
  Bytes rec(std::size_t{1} << 16);
  if (!rs_.output.seek(kHeaderImageSize)) return false;
  for (uint64_t left = facility_bytes_; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, rec.size()));
    if (rs_.output.read(rec.data(), n) < n) return false;
    objects_.put(rec.data(), n);
    left -= n;
  }
  if (std::fflush(objects_.file) != 0 || std::fflush(others_.file) != 0) return false;
  std::rewind(objects_.file);
  rs_.output.seek(kHeaderImageSize);
  *total = kHeaderImageSize;
  std::size_t next_other = 0;
  bool last_catalogued = true;
  auto put_others_after = [&](long ordinal) {
    for (; next_other < other_places_.size() && other_places_[next_other].after_ordinal == ordinal;
         ++next_other) {
      const OtherPlace& o = other_places_[next_other];
      rec.resize(o.size);
      if (std::fseek(others_.file, static_cast<long>(o.at), SEEK_SET) != 0 ||
          !others_.get(rec.data(), rec.size())) {
        return false;
      }
      *total += rs_.output.write(rec.data(), rec.size());
      last_catalogued = get_u32(rec.data()) == kTypeNameEntry;
    }
    return true;
  };
  if (!put_others_after(-1)) return false;
  for (std::size_t k = 0; k < facilities_.size(); ++k) {
    FacilityPlace& f = facilities_[k];
    rec.resize(f.size);
    if (!objects_.get(rec.data(), rec.size())) return false;
    f.output_offset = static_cast<uint32_t>(*total);
    *total += rs_.output.write(rec.data(), rec.size());
    last_catalogued = is_catalogued_subtype(get_i32(rec.data() + kContSubtype));
    if (!put_others_after(static_cast<long>(k))) return false;
  }
  if (catalogued_ == kCatalogueCapacity && lists_.empty() && !last_catalogued) {
    *message = std::string("top level: ") + kTooManyRecords;
    return false;
  }
  return true;
}

bool FileBuilder::write_lists(std::string* message, uint64_t* total) {
  if (std::fflush(entries_.file) != 0) return false;
  std::rewind(entries_.file);
  Bytes rec;
  for (std::size_t i = 0; i < lists_.size(); ++i) {
    const ListPlace& list = lists_[i];
    uint8_t head[kNameListHeadSize] = {};
    put_u32(head + kRecType, kTypeNameListHead);
    put_i32(head + kRecSize, static_cast<int32_t>(list.entry_bytes + kNameListOverhead));
    std::memcpy(head + kRecordHeadSize, list.reserved.data(), list.reserved.size());
    put_u32(head + kNlhEntryCount, list.entries);
    *total += rs_.output.write(head, sizeof head);
    for (uint32_t j = 0; j < list.entries; ++j) {
      uint8_t link[5];
      uint8_t entry_head[kRecordHeadSize];
      if (!entries_.get(link, sizeof link) || !entries_.get(entry_head, sizeof entry_head)) {
        return false;
      }
      rec.assign(entry_head, entry_head + kRecordHeadSize);
      rec.resize(kRecordHeadSize + get_u32(entry_head + kRecSize));
      if (!entries_.get(rec.data() + kRecordHeadSize, rec.size() - kRecordHeadSize)) return false;
      if (link[0] != 0) {
        const auto it = ordinal_of_.find(get_u32(link + 1));
        if (it == ordinal_of_.end()) {
          *message = entry_path(i, j) + ".facility: no facility has this offset";
          return false;
        }
        put_u32(rec.data() + kNeFacilityOffset, facilities_[it->second].output_offset);
      }
      *total += rs_.output.write(rec.data(), rec.size());
    }
    *total += write_end_mark(rs_);
  }
  *total += write_end_mark(rs_);
  return true;
}

void FileBuilder::write_trailer_and_header(uint64_t total) {
  // Bounds the document gives are kept, widened to cover what the file holds;
  // without them the file gets the margins a new file gets.
  uint8_t* image = rs_.header_image.data();
  if (header_.bounds.has()) {
    store_box(image + kFhBounds, covering(header_.bounds.value, rs_.airport_box));
  } else {
    write_bounds(rs_, BoundsPlace::kHeader, kBoundsMargin);
  }
  if (trailer_given_ && !trailer_.present) {
    set_header_u32(rs_, kFhTrailerOffset, 0);
  } else {
    // Written here, not by write_trailer: any word the document gives stands,
    // the one that means "none known" to the link included.
    uint8_t bytes[kTrailerSize];
    put_u32(bytes, trailer_.word.has() ? trailer_.word.value : kDefaultTrailerWord);
    store_box(bytes + kTrailerBox, trailer_.bounds.has()
                                       ? covering(trailer_.bounds.value, rs_.ai_airport_box)
                                       : widen_box(rs_.ai_airport_box, kBoundsMargin));
    set_header_u32(rs_, kFhTrailerOffset, static_cast<uint32_t>(total));
    rs_.output.write(bytes, kTrailerSize);
  }
  rewrite_header(rs_);
}

FileBuilder::Outcome FileBuilder::write(std::string* message) {
  uint8_t* image = rs_.header_image.data();
  uint8_t* section = image + kFileHeaderSize;
  const DescribedHeader& h = header_;
  if (h.file_id.has()) {
    for (std::size_t i = 0; i < 3; ++i) put_u16(section + kShFileId + 2 * i, h.file_id.value[i]);
  }
  if (h.year.has()) put_i32(section + kShCreatedYear, h.year.value);
  if (h.day.has()) section[kShCreatedDay] = h.day.value;
  if (h.month.has()) section[kShCreatedMonth] = h.month.value;
  if (h.time.has()) put_u32(section + kShCreatedTime, h.time.value);
  if (h.format_level.has()) put_i32(section + kShFormatLevel, h.format_level.value);
  for (const HeaderBytes& run : h.other_bytes) {
    std::memcpy(image + run.at, run.bytes.data(), run.bytes.size());
  }
  set_header_u32(rs_, kFileHeaderSize + kShObjectListOffset, kHeaderImageSize);
  uint64_t total = 0;
  if (!write_objects(message, &total)) {
    return message->empty() ? Outcome::kCannotWrite : Outcome::kInvalid;
  }
  set_header_u32(rs_, kFileHeaderSize + kShNameListOffset, static_cast<uint32_t>(total));
  if (!write_lists(message, &total)) {
    return message->empty() ? Outcome::kCannotWrite : Outcome::kInvalid;
  }
  write_trailer_and_header(total);
  const bool scratch_failed = objects_.failed || others_.failed || entries_.failed;
  return scratch_failed ? Outcome::kCannotWrite : Outcome::kBuilt;
}

}  // namespace quarnel
