// What the JSON listing writes with: text gathered into blocks, and raw bytes
// written as hex digits a block at a time, so that a record of any size costs
// a block of memory; and the bytes of the facility record being listed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "document/hex.h"
#include "io/files.h"

namespace quarnel {

class JsonStream {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 16;

  explicit JsonStream(std::FILE* out) : out_(out) {}
  void put(std::string_view text) {
    text_.append(text);
    if (text_.size() >= kBlock) flush();
  }
  void flush() {
    std::fwrite(text_.data(), 1, text_.size(), out_);
    text_.clear();
  }
  // `n` bytes from `at` as a JSON string of hex digits, read by `read(at,
  // dst, k)` a block at a time.
  template <typename Read>
  void put_hex_string(uint64_t at, uint64_t n, Read read) {
    put("\"");
    uint8_t block[kBlock / 4];
    while (n > 0) {
      const std::size_t k = static_cast<std::size_t>(n < sizeof block ? n : sizeof block);
      read(at, block, k);
      append_hex(text_, block, k);
      if (text_.size() >= kBlock) flush();
      at += k;
      n -= k;
    }
    put("\"");
  }
  // The same of the input's bytes; those it no longer holds come out as
  // zeros, and the run warns of them.
  void put_input_hex(InputFile& in, uint64_t at, uint64_t n);

 private:
  std::FILE* out_;
  std::string text_;
};

// The facility record being listed: the bytes the scan showed, kept when it
// showed them, and the rest read ahead in blocks straight from the file,
// since the scan's view into the input's window must stay as it is until
// the scan goes on.
class FacilityBytes {
 public:
  void keep(uint64_t at, const uint8_t* shown, std::size_t len, uint64_t size);
  uint64_t size() const { return size_; }
  // Copies the record's bytes [pos, pos + n), n at most a block; bytes the
  // file no longer holds are zeros.
  void read(InputFile& in, uint64_t pos, uint8_t* dst, std::size_t n);

 private:
  Bytes shown_;
  uint64_t at_ = 0;
  uint64_t size_ = 0;
  Bytes beyond_;
  uint64_t beyond_at_ = 0;
  std::size_t beyond_len_ = 0;
};

// A Container's bytes that the listing does not interpret, as the keys
// `reserved`, `sub_records` and, when it is not the usual 8 zero bytes, `end`.
void put_raw_facility(JsonStream& out, InputFile& in, FacilityBytes& record);

}  // namespace quarnel
