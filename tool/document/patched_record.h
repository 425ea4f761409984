// A facility's record while the build patches it: its sub-records in memory,
// and behind them those still in the spool. Every sub-record that ends within
// the bytes the scan looks at is held: a patch that shortens the front pulls
// the next ones in, so that what the scan will see is always at hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/spool.h"
#include "format/afd_format.h"

namespace quarnel {

// The bytes of a record the scan looks at, head included.
constexpr std::size_t kSeenRecord = kRecordHeadSize + kScanPayloadLimit;

// Appends `bytes` by size and copy: g++ 12 at -O3 takes an insert behind a
// few fixed bytes for a write past them.
void append(Bytes& out, const uint8_t* bytes, std::size_t n);
inline void append(Bytes& out, const Bytes& bytes) { append(out, bytes.data(), bytes.size()); }

inline uint32_t sub_type(const Bytes& sub) { return get_u32(sub.data()); }

class PatchedRecord {
 public:
  // The record of `subtype`: `reserved`, the held `subs`, those at `tail_at`
  // in `spool`, `tail_size` bytes of them, then `end`, which must outlive it.
  PatchedRecord(int32_t subtype, Bytes reserved, std::vector<Bytes> subs, Spool& spool,
                uint64_t tail_at, uint64_t tail_size, const Piece& end);

  uint64_t size() const { return front_size() + tail_size_ + end_.size(); }
  uint64_t tail_at() const { return tail_at_; }
  uint64_t tail_size() const { return tail_size_; }

  // Head, subtype, reserved word and the held sub-records.
  Bytes front() const;
  // The first bytes as the scan sees them. Behind the held sub-records come
  // the end's bytes, or a sub-record in the spool too large to end within
  // them, which stops the scan's walk as the front's end does.
  Bytes seen() const;

  // The index of the first sub-record of `type` that the tool's bounded walk
  // reaches; -1 when it reaches none.
  long first_seen(uint32_t type) const;

  void put_front(Bytes sub) { subs_.insert(subs_.begin(), std::move(sub)); }
  void erase(long k);
  const Bytes& at(long k) const { return subs_[static_cast<std::size_t>(k)]; }
  void replace(long k, Bytes sub);
  // Erases every sub-record of `type` that the walk sees, those that come
  // into its sight as others go included: as erasing the first one seen
  // until none is, done in passes over the held sub-records.
  void erase_seen(uint32_t type);

 private:
  uint64_t front_size() const;
  // Takes sub-records from the spool while the held ones end before the
  // bytes the scan looks at; one too large to end within them stays.
  void pull();

  int32_t subtype_;
  Bytes reserved_;
  std::vector<Bytes> subs_;
  Spool& spool_;
  uint64_t tail_at_;
  uint64_t tail_size_;
  const Piece& end_;
};

}  // namespace quarnel
