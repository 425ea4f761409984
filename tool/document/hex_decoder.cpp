#include "document/hex_decoder.h"

#include <algorithm>

#include "document/hex.h"
#include "format/afd_format.h"

namespace quarnel {

void HexDecoder::start(Target target) {
  target_ = target;
  high_ = -1;
  bad_ = false;
  length_ = 0;
}

void HexDecoder::into_bytes(Bytes* out, std::size_t cap) {
  start(Target::kBytes);
  bytes_ = out;
  cap_ = cap;
}

void HexDecoder::into_piece(Piece* out, std::size_t keep) {
  start(Target::kPiece);
  piece_ = out;
  cap_ = keep;
}

void HexDecoder::into_sub_record(SubRecords* out) {
  start(Target::kSubRecord);
  subs_ = out;
  start_ = out->held.size();
}

void HexDecoder::feed(const char* text, std::size_t n) {
  uint8_t block[4096];
  std::size_t fill = 0;
  const auto* c = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned digit = kHexDigits.value[c[i]];
    if (digit > 15) {
      bad_ = true;
      continue;
    }
    if (high_ < 0) {
      high_ = static_cast<int>(digit);
      continue;
    }
    block[fill++] = static_cast<uint8_t>(static_cast<unsigned>(high_) << 4 | digit);
    high_ = -1;
    if (fill == sizeof block) {
      put(block, fill);
      fill = 0;
    }
  }
  put(block, fill);
}

void HexDecoder::put(const uint8_t* bytes, std::size_t n) {
  if (n == 0 || bad_) return;
  if (length_ < sizeof head_) {
    const auto k = static_cast<std::size_t>(std::min<uint64_t>(n, sizeof head_ - length_));
    std::copy(bytes, bytes + k, head_ + length_);
  }
  length_ += n;
  switch (target_) {
    case Target::kBytes:
      bytes_->insert(bytes_->end(), bytes,
                     bytes + std::min(n, cap_ + 1 - std::min(cap_ + 1, bytes_->size())));
      return;
    case Target::kPiece:
      put_piece(bytes, n);
      return;
    case Target::kSubRecord:
      put_sub_record(bytes, n);
      return;
  }
}

void HexDecoder::put_piece(const uint8_t* bytes, std::size_t n) {
  Piece& p = *piece_;
  if (p.spilled == 0 && p.held.size() < cap_) {
    const std::size_t k = std::min(n, cap_ - p.held.size());
    p.held.insert(p.held.end(), bytes, bytes + k);
    bytes += k;
    n -= k;
  }
  if (n == 0) return;
  if (p.spilled == 0) p.spool_at = spool_.size();
  spool_.append(bytes, n);
  p.spilled += n;
}

// Sub-records are held while they fit kHeldSubRecordBytes; the first that
// does not, and every one behind it, goes to the spool, in order.
void HexDecoder::put_sub_record(const uint8_t* bytes, std::size_t n) {
  SubRecords& s = *subs_;
  if (s.spilled == 0) {
    s.held.insert(s.held.end(), bytes, bytes + n);
    if (s.held.size() <= kHeldSubRecordBytes) return;
    // This one goes to the spool, with what it held so far.
    s.spool_at = spool_.size();
    spool_.append(s.held.data() + start_, s.held.size() - start_);
    s.spilled = s.held.size() - start_;
    s.held.resize(start_);
    return;
  }
  spool_.append(bytes, n);
  s.spilled += n;
}

const char* HexDecoder::finish() {
  if (bad_ || high_ >= 0) return "must be a string of hex digits, two for each byte";
  if (target_ != Target::kSubRecord) return nullptr;
  if (length_ < kSubHeadSize) return "a sub-record needs at least its 8-byte head";
  if (get_u32(head_) == kSubEnd) return "a sub-record of type 0 would end the list: give it as end";
  if (get_u32(head_ + 4) != length_ - kSubHeadSize) {
    return "the sub-record's size field must count the bytes behind its head";
  }
  SubRecords& s = *subs_;
  if (s.spilled == 0) s.ends.push_back(static_cast<uint32_t>(s.held.size()));
  s.count++;
  return nullptr;
}

}  // namespace quarnel
