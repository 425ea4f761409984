// Hex digits decoded as they stream in, straight into where their bytes
// belong: a few bytes of a header run, a piece that keeps its first bytes in
// memory and the rest in the spool, or the next sub-record of a facility. No
// string of hex digits is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "document/described.h"
#include "document/spool.h"

namespace quarnel {

class HexDecoder {
 public:
  explicit HexDecoder(Spool& spool) : spool_(spool) {}

  // Where the next string's bytes go. Bytes: at most `cap` + 1 are kept, so
  // that one too many shows. Piece: the first `keep` in memory.
  void into_bytes(Bytes* out, std::size_t cap);
  void into_piece(Piece* out, std::size_t keep);
  void into_sub_record(SubRecords* out);

  void feed(const char* text, std::size_t n);
  // Ends the string. Null when it was whole; else what is wrong with it.
  const char* finish();

 private:
  enum class Target : uint8_t { kBytes, kPiece, kSubRecord };
  void start(Target target);
  void put(const uint8_t* bytes, std::size_t n);
  void put_piece(const uint8_t* bytes, std::size_t n);
  void put_sub_record(const uint8_t* bytes, std::size_t n);

  Spool& spool_;
  Target target_ = Target::kBytes;
  Bytes* bytes_ = nullptr;
  std::size_t cap_ = 0;
  Piece* piece_ = nullptr;
  SubRecords* subs_ = nullptr;
  int high_ = -1;  // the first digit of a byte, waiting for its second
  bool bad_ = false;
  // The sub-record being decoded: its length so far, its head, and where it
  // starts in the held bytes.
  uint64_t length_ = 0;
  uint8_t head_[8] = {};
  std::size_t start_ = 0;
};

}  // namespace quarnel
