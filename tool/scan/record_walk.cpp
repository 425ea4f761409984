#include "scan/record_walk.h"

#include "format/afd_format.h"

namespace quarnel {

namespace {

constexpr uint64_t kMaxOffset = UINT32_MAX;

}  // namespace

WalkEnd head_room(uint64_t pos, uint64_t limit) {
  if (pos > kMaxOffset) return WalkEnd::kBeyondOffsets;
  if (pos >= limit) return WalkEnd::kEndOfData;
  if (limit - pos < kRecordHeadSize) return WalkEnd::kHeadCut;
  return WalkEnd::kEndRecord;
}

bool RecordWalk::next(WalkRecord* record) {
  end_ = head_room(pos_, limit_);
  if (end_ != WalkEnd::kEndRecord) return false;
  std::size_t got = 0;
  const uint8_t* head = in_.view(pos_, kRecordHeadSize, scratch_, &got);
  if (got < kRecordHeadSize) {
    end_ = WalkEnd::kHeadCut;
    return false;
  }
  record->pos = pos_;
  record->type = get_u32(head + kRecType);
  record->size = get_i32(head + kRecSize);
  if (record->type == kTypeEnd) return false;
  if (record->size < 0) {
    end_ = WalkEnd::kNegativeSize;
    return false;
  }
  record->next = pos_ + kRecordHeadSize + static_cast<uint64_t>(record->size);
  if (record->next > limit_) {
    end_ = WalkEnd::kPastLimit;
    return false;
  }
  std::size_t n = static_cast<std::size_t>(record->size);
  if (n > kScanPayloadLimit) n = kScanPayloadLimit;
  record->whole = kRecordHeadSize + n;
  return true;
}

const uint8_t* RecordWalk::view(const WalkRecord& record, std::size_t n, std::size_t* got) {
  const uint8_t* bytes = in_.view(record.pos, n, scratch_, got);
  if (*got >= kRecordHeadSize) return bytes;
  end_ = WalkEnd::kHeadCut;
  return nullptr;
}

bool NameListChain::next(ChainRecord* record) {
  const uint64_t size = in_.size();
  end_ = head_room(pos_, size);
  if (end_ != WalkEnd::kEndRecord) return false;
  uint8_t* bytes = record->bytes;
  if (in_.read_at(pos_, bytes, kRecordHeadSize) < kRecordHeadSize) {
    end_ = WalkEnd::kHeadCut;
    return false;
  }
  record->pos = pos_;
  record->type = get_u32(bytes + kRecType);
  record->size = get_i32(bytes + kRecSize);
  record->is_head = record->type == kTypeNameListHead;
  if (!record->is_head) return true;
  if (in_.read_at(pos_ + kRecordHeadSize, bytes + kRecordHeadSize,
                  kNameListHeadSize - kRecordHeadSize) < kNameListHeadSize - kRecordHeadSize) {
    end_ = WalkEnd::kHeadCut;
    return false;
  }
  const uint64_t extent =
      record->size > 0 ? pos_ + kRecordHeadSize + static_cast<uint64_t>(record->size) : size;
  record->entries = pos_ + kNameListHeadSize;
  record->entries_limit = extent < size ? extent : size;
  return true;
}

bool NameListChain::step(const ChainRecord& record) {
  if (record.size <= 0) {
    end_ = record.size < 0             ? WalkEnd::kNegativeSize
           : record.type == kTypeEnd ? WalkEnd::kEndRecord
                                     : WalkEnd::kSizeZero;
    return false;
  }
  pos_ = record.pos + kRecordHeadSize + static_cast<uint64_t>(record.size);
  return true;
}

}  // namespace quarnel
