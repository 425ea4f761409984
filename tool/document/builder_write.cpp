// The builder's second half: once the whole description has been read and
// found valid, the rest of the file, front to back through the output writer.
#include <algorithm>
#include <cstring>

#include "document/builder.h"
#include "format/afd_format.h"
#include "format/coverage.h"
#include "output/layout.h"
#include "output/record_copy.h"

namespace quarnel {

namespace {

const char* const kPoolFull =
    "does not fit the tool's name pool, which the names before it fill (400000 bytes for all "
    "names): it would never match";

std::string entry_path(std::size_t list, std::size_t entry) {
  return "name_lists[" + std::to_string(list) + "].entries[" + std::to_string(entry) + "]";
}
std::string facility_path(std::size_t k) { return "facilities[" + std::to_string(k) + "]"; }
std::string other_path(std::size_t k) { return "other_records[" + std::to_string(k) + "]"; }

CoverageBox covering(CoverageBox given, const CoverageBox& seen) {
  if (seen == kEmptyBox) return given;
  log_bounds0(given, seen.lat_max, seen.lon_max);
  log_bounds0(given, seen.lat_min, seen.lon_min);
  return given;
}

}  // namespace

bool FileBuilder::copy_from(Scratch& from, uint64_t n) {
  while (n > 0) {
    const std::size_t k = static_cast<std::size_t>(std::min<uint64_t>(n, block_.size()));
    if (!from.get(block_.data(), k) || target_.output.write(block_.data(), k) < k) return false;
    n -= k;
  }
  return true;
}

bool FileBuilder::write_objects(std::string* message, uint64_t* total, PoolFill& pool) {
  *total = kHeaderImageSize + facility_bytes_;
  if (!other_places_.empty()) {
    if (!interleave_others(message, total, pool)) return false;
  } else {
    for (std::size_t k = 0; k < facilities_.size(); ++k) {
      const int32_t name = facilities_[k].pool_name;
      if (name >= 0 && !pool.add(static_cast<std::size_t>(name))) {
        *message = facility_path(k) + ".name: " + kPoolFull;
        return false;
      }
    }
    if (catalogued_ == kCatalogueCapacity && lists_.empty() && !facilities_.empty() &&
        !is_facility_subtype(last_subtype_)) {
      *message = std::string("top level: ") + kTooManyRecordsText;
      return false;
    }
  }
  *total += write_end_mark(target_.output);
  return true;
}

// The facility records move aside into a scratch file, and come back with
// each other record behind the facility it follows.
bool FileBuilder::interleave_others(std::string* message, uint64_t* total, PoolFill& pool) {
  for (OtherPlace& o : other_places_) {
    if (!o.anchored) continue;
    const auto it = ordinal_of_.find(o.after);
    if (it == ordinal_of_.end()) {
      *message = other_path(o.index) + ".after: no facility has this offset";
      return false;
    }
    o.after_ordinal = static_cast<int32_t>(it->second);
  }
  std::stable_sort(
      other_places_.begin(), other_places_.end(),
      [](const OtherPlace& a, const OtherPlace& b) { return a.after_ordinal < b.after_ordinal; });
  if (!target_.output.seek(kHeaderImageSize)) return false;
  for (uint64_t left = facility_bytes_; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, block_.size()));
    if (target_.output.read(block_.data(), n) < n) return false;
    objects_.put(block_.data(), n);
    left -= n;
  }
  if (std::fflush(objects_.file) != 0 || std::fflush(others_.file) != 0) return false;
  std::rewind(objects_.file);
  target_.output.seek(kHeaderImageSize);
  *total = kHeaderImageSize;
  std::size_t next_other = 0;
  bool last_catalogued = true;
  auto put_others_after = [&](int32_t ordinal) {
    for (; next_other < other_places_.size() && other_places_[next_other].after_ordinal == ordinal;
         ++next_other) {
      const OtherPlace& o = other_places_[next_other];
      if (o.pool_name >= 0 && !pool.add(static_cast<std::size_t>(o.pool_name))) {
        *message = other_path(o.index) + ".bytes: " + kPoolFull;
        return false;
      }
      if (std::fseek(others_.file, static_cast<long>(o.at), SEEK_SET) != 0 ||
          !copy_from(others_, o.size)) {
        return false;
      }
      *total += o.size;
      last_catalogued = o.pool_name >= 0;
    }
    return true;
  };
  if (!put_others_after(-1)) return false;
  for (std::size_t k = 0; k < facilities_.size(); ++k) {
    FacilityPlace& f = facilities_[k];
    if (f.pool_name >= 0 && !pool.add(static_cast<std::size_t>(f.pool_name))) {
      *message = facility_path(k) + ".name: " + kPoolFull;
      return false;
    }
    f.output_offset = static_cast<uint32_t>(*total);
    if (!copy_from(objects_, f.size)) return false;
    *total += f.size;
    last_catalogued = f.pool_name >= 0;
    if (!put_others_after(static_cast<int32_t>(k))) return false;
  }
  if (catalogued_ == kCatalogueCapacity && lists_.empty() && !last_catalogued) {
    *message = std::string("top level: ") + kTooManyRecordsText;
    return false;
  }
  return true;
}

bool FileBuilder::write_lists(std::string* message, uint64_t* total, PoolFill& pool) {
  if (std::fflush(entries_.file) != 0) return false;
  std::rewind(entries_.file);
  for (std::size_t i = 0; i < lists_.size(); ++i) {
    const ListPlace& list = lists_[i];
    uint8_t head[kNameListHeadSize] = {};
    put_u32(head + kRecType, kTypeNameListHead);
    put_i32(head + kRecSize, static_cast<int32_t>(list.entry_bytes + kNameListOverhead));
    std::memcpy(head + kRecordHeadSize, list.reserved.data(), list.reserved.size());
    put_u32(head + kNlhEntryCount, list.entries);
    *total += target_.output.write(head, sizeof head);
    pool.add(0);  // the head's empty name; the scan minds no failure of it
    for (uint32_t j = 0; j < list.entries; ++j) {
      uint8_t prefix[9];
      uint8_t entry_head[kNeName];
      if (!entries_.get(prefix, sizeof prefix) || !entries_.get(entry_head, sizeof entry_head)) {
        return false;
      }
      if (!pool.add(get_u32(prefix + 5))) {
        *message = entry_path(i, j) + ".name: " + kPoolFull;
        return false;
      }
      if (prefix[0] != 0) {
        const auto it = ordinal_of_.find(get_u32(prefix + 1));
        if (it == ordinal_of_.end()) {
          *message = entry_path(i, j) + ".facility: no facility has this offset";
          return false;
        }
        put_u32(entry_head + kNeFacilityOffset, facilities_[it->second].output_offset);
      }
      const uint64_t size = kRecordHeadSize + uint64_t{get_u32(entry_head + kRecSize)};
      *total += target_.output.write(entry_head, sizeof entry_head);
      if (!copy_from(entries_, size - kNeName)) return false;
      *total += size - kNeName;
    }
    *total += write_end_mark(target_.output);
  }
  *total += write_end_mark(target_.output);
  return true;
}

void FileBuilder::write_trailer_and_header(uint64_t total) {
  // Bounds the document gives are kept, widened to cover what the file holds;
  // without them the file gets the margins a new file gets, saturating where
  // they would wrap.
  uint8_t* image = target_.header_image.data();
  store_box(image + kFhBounds, header_.bounds.has()
                                   ? covering(header_.bounds.value, target_.airport_box)
                                   : widen_box_saturating(target_.airport_box, kBoundsMargin));
  if (trailer_given_ && !trailer_.present) {
    set_trailer_offset(image, 0);
  } else {
    // Written here, not by write_trailer: any word the document gives stands,
    // the one that means "none known" to the link included.
    uint8_t bytes[kTrailerSize];
    put_u32(bytes, trailer_.word.has() ? trailer_.word.value : kDefaultTrailerWord);
    store_box(bytes + kTrailerBox,
              trailer_.bounds.has() ? covering(trailer_.bounds.value, target_.ai_airport_box)
                                    : widen_box_saturating(target_.ai_airport_box, kBoundsMargin));
    set_trailer_offset(image, static_cast<uint32_t>(total));
    target_.output.write(bytes, kTrailerSize);
  }
  rewrite_header(target_.output, target_.header_image);
}

FileBuilder::Outcome FileBuilder::write(std::string* message) {
  uint8_t* image = target_.header_image.data();
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
  set_object_list_offset(image, kHeaderImageSize);
  uint64_t total = 0;
  PoolFill pool;
  if (!write_objects(message, &total, pool)) {
    return message->empty() ? Outcome::kCannotWrite : Outcome::kInvalid;
  }
  set_name_list_offset(image, static_cast<uint32_t>(total));
  if (!write_lists(message, &total, pool)) {
    return message->empty() ? Outcome::kCannotWrite : Outcome::kInvalid;
  }
  write_trailer_and_header(total);
  const bool scratch_failed =
      objects_.failed || others_.failed || entries_.failed || spool_.failed();
  return scratch_failed ? Outcome::kCannotWrite : Outcome::kBuilt;
}

}  // namespace quarnel
