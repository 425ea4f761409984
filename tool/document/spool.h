// Where the reader keeps the raw bytes of a piece that are too many to hold:
// a scratch file beside the output, written from the start again for each
// piece. A sub-record of a hundred megabytes goes through it in blocks, so
// that a build holds no more than a block of any record, however large.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document/hex.h"
#include "io/files.h"

namespace quarnel {

class Spool {
 public:
  Spool() = default;
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;
  ~Spool();

  // Opens the scratch file in the folder of `path`; false when it cannot.
  bool open_beside(const std::string& path);
  // A new piece: what the spool held is forgotten.
  void clear() {
    size_ = 0;
    fill_ = 0;
  }
  uint64_t size() const { return size_; }
  void append(const uint8_t* bytes, std::size_t n);
  // Reads `n` bytes at `at`, which must lie within size(); false on a failure.
  bool read(uint64_t at, uint8_t* dst, std::size_t n);
  // Copies `n` bytes at `at` to the output's position, in blocks.
  bool copy_to(OutputFile& out, uint64_t at, uint64_t n);
  // Copies them to a stdio stream at its position.
  bool copy_to(std::FILE* out, uint64_t at, uint64_t n);
  // Whether a write or read of the scratch file failed.
  bool failed() const { return failed_; }

 private:
  bool flush();

  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  // The last bytes appended wait here; they belong at size_ - fill_.
  std::vector<uint8_t> buffer_;
  std::size_t fill_ = 0;
  bool failed_ = false;
};

// Raw bytes of a description: the first ones in memory, those beyond
// `keep` (said where they are decoded) in the spool, back to back.
struct Piece {
  Bytes held;
  uint64_t spool_at = 0;
  uint64_t spilled = 0;
  uint64_t size() const { return held.size() + spilled; }
};

}  // namespace quarnel
