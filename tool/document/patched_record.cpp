#include "document/patched_record.h"

#include <cstring>

namespace quarnel {

void append(Bytes& out, const uint8_t* bytes, std::size_t n) {
  const std::size_t at = out.size();
  out.resize(at + n);
  if (n > 0) std::memcpy(out.data() + at, bytes, n);
}

PatchedRecord::PatchedRecord(int32_t subtype, Bytes reserved, std::vector<Bytes> subs,
                             Spool& spool, uint64_t tail_at, uint64_t tail_size, const Piece& end)
    : subtype_(subtype),
      reserved_(std::move(reserved)),
      subs_(std::move(subs)),
      spool_(spool),
      tail_at_(tail_at),
      tail_size_(tail_size),
      end_(end) {
  pull();
}

Bytes PatchedRecord::front() const {
  Bytes rec(kRecordHeadSize + 4);
  put_u32(rec.data() + kRecType, kTypeContainer);
  put_i32(rec.data() + kContSubtype, subtype_);
  // A size past the field's reach is refused before the record is written.
  put_i32(rec.data() + kRecSize, static_cast<int32_t>(size() - kRecordHeadSize));
  append(rec, reserved_);
  for (const Bytes& s : subs_) append(rec, s);
  return rec;
}

Bytes PatchedRecord::seen() const {
  Bytes rec = front();
  if (tail_size_ == 0) append(rec, end_.held);
  if (rec.size() > kSeenRecord) rec.resize(kSeenRecord);
  return rec;
}

long PatchedRecord::first_seen(uint32_t type) const {
  std::size_t at = kContSubRecords;
  for (std::size_t k = 0; k < subs_.size(); ++k) {
    at += subs_[k].size();
    if (at > kSeenRecord) return -1;
    if (sub_type(subs_[k]) == type) return static_cast<long>(k);
  }
  return -1;
}

void PatchedRecord::erase(long k) {
  subs_.erase(subs_.begin() + k);
  pull();
}

void PatchedRecord::replace(long k, Bytes sub) {
  subs_[static_cast<std::size_t>(k)] = std::move(sub);
  pull();
}

void PatchedRecord::erase_seen(uint32_t type) {
  for (bool erased = true; erased;) {
    erased = false;
    std::size_t at = kContSubRecords;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < subs_.size(); ++k) {
      const bool seen = at + subs_[k].size() <= kSeenRecord;
      if (seen && sub_type(subs_[k]) == type) {
        erased = true;
        continue;
      }
      at += subs_[k].size();
      if (kept != k) subs_[kept] = std::move(subs_[k]);
      ++kept;
    }
    subs_.resize(kept);
    pull();
  }
}

uint64_t PatchedRecord::front_size() const {
  uint64_t n = kRecordHeadSize + 4 + reserved_.size();
  for (const Bytes& s : subs_) n += s.size();
  return n;
}

void PatchedRecord::pull() {
  uint64_t end = front_size();
  while (tail_size_ > 0 && end < kSeenRecord) {
    uint8_t head[kSubHeadSize];
    if (!spool_.read(tail_at_, head, sizeof head)) return;
    const uint64_t n = kSubHeadSize + uint64_t{get_u32(head + 4)};
    if (n > kSeenRecord) return;
    Bytes sub(static_cast<std::size_t>(n));
    if (!spool_.read(tail_at_, sub.data(), sub.size())) return;
    subs_.push_back(std::move(sub));
    tail_at_ += n;
    tail_size_ -= n;
    end += n;
  }
}

}  // namespace quarnel
