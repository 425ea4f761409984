// The builder's first half: it takes the pieces as the description streams
// in, writing facility records into the output and spooling the rest.
#include "document/builder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "document/facility_record.h"
#include "document/patched_record.h"
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

const char* const kTooLarge = "the file would pass the 4 GiB that its offsets can address";

}  // namespace

void FileBuilder::Scratch::put(const uint8_t* bytes, std::size_t n) {
  if (n > 0 && std::fwrite(bytes, 1, n, file) != n) failed = true;
  size += n;
}

void FileBuilder::Scratch::put(Spool& spool, uint64_t at, uint64_t n) {
  if (n > 0 && !spool.copy_to(file, at, n)) failed = true;
  size += n;
}

bool FileBuilder::Scratch::get(uint8_t* bytes, std::size_t n) {
  if (n > 0 && std::fread(bytes, 1, n, file) != n) failed = true;
  return !failed;
}

FileBuilder::FileBuilder(const WriteTarget& target, std::string output_path, std::time_t now)
    : target_(target), output_path_(std::move(output_path)), now_(now) {}

FileBuilder::~FileBuilder() {
  for (Scratch* s : {&objects_, &others_, &entries_}) {
    if (s->file != nullptr) std::fclose(s->file);
  }
}

bool FileBuilder::begin() {
  for (Scratch* s : {&objects_, &others_, &entries_}) {
    s->file = platform::create_scratch_beside(output_path_);
    if (s->file == nullptr) return false;
    std::setvbuf(s->file, nullptr, _IOFBF, kScratchBuffer);
  }
  if (!spool_.open_beside(output_path_)) return false;
  block_.resize(kCopyBlockSize);
  init_header(target_.header_image, now_);
  init_bounds(target_.airport_box);
  init_bounds(target_.ai_airport_box);
  return write_header_image(target_.output, target_.header_image) == kHeaderImageSize;
}

bool FileBuilder::count_record(bool catalogued, Fault* fault) {
  if (catalogued && ++catalogued_ > kCatalogueCapacity) {
    *fault = {"", kTooManyRecordsText};
    return false;
  }
  if (kFixedBytes + object_bytes_ + list_bytes_ > UINT32_MAX) {
    *fault = {"", kTooLarge};
    return false;
  }
  return true;
}

bool FileBuilder::count_object_record(Fault* fault) {
  if (facilities_.size() + other_places_.size() < kMaxBuiltObjectRecords) return true;
  *fault = {"", "more than the 100000 records in the object list that a build holds"};
  return false;
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
  if (!count_object_record(fault)) return false;
  AssembledFacility f;
  if (!assemble_facility(desc, spool_, &f, fault)) return false;
  const auto ordinal = static_cast<uint32_t>(facilities_.size());
  if (desc.offset.has() && !ordinal_of_.emplace(desc.offset.value, ordinal).second) {
    *fault = {".offset", "another facility has this offset: an offset is a facility's identity"};
    return false;
  }
  const bool catalogued = is_facility_subtype(f.subtype);
  object_bytes_ += f.size;
  if (!count_record(catalogued, fault)) return false;
  const uint8_t* seen = f.seen.data();
  log_bounds(target_.airport_box, seen, f.seen.size());
  if (has_ai_marker(seen, f.seen.size())) log_bounds(target_.ai_airport_box, seen, f.seen.size());
  const int32_t pool_name =
      catalogued ? static_cast<int32_t>(facility_name(seen, f.seen.size()).size()) : -1;
  facilities_.push_back({static_cast<uint32_t>(f.size),
                         static_cast<uint32_t>(kHeaderImageSize + facility_bytes_), pool_name});
  facility_bytes_ += f.size;
  last_subtype_ = f.subtype;
  target_.output.write(f.front.data(), f.front.size());
  spool_.copy_to(target_.output, f.tail_at, f.tail_size);
  target_.output.write(f.end.held.data(), f.end.held.size());
  spool_.copy_to(target_.output, f.end.spool_at, f.end.spilled);
  return true;
}

bool FileBuilder::other_record(const DescribedOtherRecord& desc, std::size_t index, Fault* fault) {
  const Piece& b = desc.bytes;
  const uint8_t* head = b.held.data();
  const char* what = nullptr;
  if (b.size() < kRecordHeadSize) {
    what = "a record needs at least its 8-byte head";
  } else if (get_u32(head) == kTypeEnd) {
    what = "a record of type 0 would end the object list";
  } else if (get_u32(head) == kTypeContainer) {
    what = "a record of type 1 is a facility: describe it under facilities";
  } else if (get_u32(head + kRecSize) != b.size() - kRecordHeadSize) {
    what = "the record's size field must count the bytes behind its head";
  }
  if (what != nullptr) {
    *fault = {".bytes", what};
    return false;
  }
  if (!count_object_record(fault)) return false;
  const bool entry = get_u32(head) == kTypeNameEntry;
  object_bytes_ += b.size();
  if (!count_record(entry, fault)) return false;
  OtherPlace place;
  place.index = static_cast<uint32_t>(index);
  place.anchored = desc.after.has();
  place.after = desc.after.value;
  place.at = others_.size;
  place.size = b.size();
  if (entry) {
    // The name the scan keeps of a name entry in the object list.
    const std::size_t seen = std::min(b.held.size(), kSeenRecord);
    place.pool_name =
        seen > kNeName ? static_cast<int32_t>(bounded_text({head + kNeName, seen - kNeName}).size())
                       : 0;
  }
  other_places_.push_back(place);
  others_.put(b.held.data(), b.held.size());
  others_.put(spool_, b.spool_at, b.spilled);
  return true;
}

bool FileBuilder::list_begin(std::size_t, Fault* fault) {
  lists_.push_back({});
  list_bytes_ += kNameListHeadSize + kRecordHeadSize;
  return count_record(true, fault);
}

bool FileBuilder::entry(const DescribedEntry& desc, std::size_t, std::size_t, Fault* fault) {
  // The scan looks at a name no further than this.
  if (desc.name.size() + 1 > kScanPayloadLimit - kNeName + kRecordHeadSize) {
    *fault = {".name", kEntryNameTooLong};
    return false;
  }
  const uint64_t size = kNeName + desc.name.size() + 1 + desc.tail.size();
  if (size - kRecordHeadSize > static_cast<uint64_t>(INT32_MAX)) {
    *fault = {".tail", "the record would pass the 2 GiB that its size field can count"};
    return false;
  }
  uint8_t head[kNeName] = {};
  put_u32(head + kRecType, kTypeNameEntry);
  put_i32(head + kRecSize, static_cast<int32_t>(size - kRecordHeadSize));
  put_i32(head + kNeNameKind, desc.level);
  ListPlace& list = lists_.back();
  list.entries++;
  list.entry_bytes += size;
  list_bytes_ += size;
  if (!count_record(true, fault)) return false;
  // Each entry goes to the scratch file behind the identity of its facility
  // and the length of its name.
  uint8_t prefix[9] = {desc.facility.has() ? uint8_t{1} : uint8_t{0}};
  put_u32(prefix + 1, desc.facility.value);
  put_u32(prefix + 5, static_cast<uint32_t>(desc.name.size()));
  static constexpr uint8_t kNul = 0;
  entries_.put(prefix, sizeof prefix);
  entries_.put(head, sizeof head);
  entries_.put(reinterpret_cast<const uint8_t*>(desc.name.data()), desc.name.size());
  entries_.put(&kNul, 1);
  entries_.put(desc.tail.held.data(), desc.tail.held.size());
  entries_.put(spool_, desc.tail.spool_at, desc.tail.spilled);
  return true;
}

bool FileBuilder::list_end(const DescribedList& desc, std::size_t, Fault*) {
  if (!desc.reserved.empty()) {
    std::copy(desc.reserved.begin(), desc.reserved.end(), lists_.back().reserved.begin());
  }
  return true;
}

}  // namespace quarnel
