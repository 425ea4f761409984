// The input of the description reader: the document read in blocks and
// handed to the JSON parser one character at a time, through an iterator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace quarnel {

// The input in blocks, so the parser's per-character reads cost a compare and
// an increment, not a library call. The parser keeps every character of the
// token it is reading, whitespace before it included, so a run of whitespace
// outside strings reaches it as its first character alone: a document padded
// with gigabytes of blanks is read in constant memory. Lines and columns are
// counted here, on the input as it is, and only as far as a place is asked
// for: the count trails the reading and catches up by memchr.
class ChunkInput {
 public:
  explicit ChunkInput(std::FILE* file) : file_(file), buffer_(std::size_t{1} << 16) {}
  bool more() { return p_ != end_ || refill(); }
  char get() const { return *p_; }
  void advance() {
    const char c = *p_++;
    if (in_string_) {
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '"') {
        in_string_ = false;
      }
    } else if (c == '"') {
      in_string_ = true;
    } else if (is_space(c) && (p_ == end_ || is_space(*p_))) {
      skip_run();
    }
  }
  bool failed() const { return failed_; }

  // Where the parser's last character was: "line L, column C".
  std::string place() {
    uint64_t line = 1;
    uint64_t column = 1;
    if (end_ == nullptr) {
      // Nothing was read at all.
    } else if (done_ && p_ == end_) {
      position(end_, &line, &column);
    } else if (held_ && offset_of(p_) == held_end_) {
      line = held_line_, column = held_column_;
    } else {
      position(p_ - 1, &line, &column);  // the last character delivered
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }

 private:
  static bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
  uint64_t offset_of(const char* q) const {
    return base_ + static_cast<uint64_t>(q - buffer_.data());
  }
  void count_to(const char* q) {
    if (q < counted_) return;
    for (const char* s = counted_; s < q;) {
      const void* nl = std::memchr(s, '\n', static_cast<std::size_t>(q - s));
      if (nl == nullptr) break;
      s = static_cast<const char*>(nl) + 1;
      ++lines_;
      line_start_ = offset_of(s);
    }
    counted_ = q;
  }
  void position(const char* at, uint64_t* line, uint64_t* column) {
    count_to(at);
    *line = lines_ + 1;
    *column = offset_of(at) - line_start_ + 1;
  }
  // Delivered: the blank before p_, at the end of its block or followed by
  // another. Its place is kept, before a refill can move the block, in case
  // the parser fails on it; the rest of its run is passed over.
  void skip_run() {
    position(p_ - 1, &held_line_, &held_column_);
    while (more() && is_space(*p_)) ++p_;
    held_ = true;
    held_end_ = offset_of(p_);
  }
  bool refill() {
    if (done_) return false;
    count_to(end_);
    const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (n == 0) {
      done_ = true;
      failed_ = std::ferror(file_) != 0;
      return false;
    }
    base_ += static_cast<uint64_t>(end_ - p_start());
    p_ = buffer_.data();
    end_ = p_ + n;
    counted_ = p_;
    return true;
  }
  const char* p_start() const { return end_ == nullptr ? nullptr : buffer_.data(); }

  std::FILE* file_;
  std::vector<char> buffer_;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  const char* counted_ = nullptr;
  uint64_t base_ = 0;  // the input offset of buffer_[0]
  bool done_ = false;
  bool failed_ = false;
  bool in_string_ = false;
  bool escaped_ = false;
  uint64_t lines_ = 0;       // newlines before counted_
  uint64_t line_start_ = 0;  // the offset behind the last of them
  bool held_ = false;
  uint64_t held_end_ = 0;
  uint64_t held_line_ = 0;
  uint64_t held_column_ = 0;
};

class ChunkIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  ChunkIterator() = default;
  explicit ChunkIterator(ChunkInput* in) : in_(in) {}
  char operator*() const { return in_->get(); }
  ChunkIterator& operator++() {
    in_->advance();
    return *this;
  }
  ChunkIterator operator++(int) {
    ChunkIterator before = *this;
    in_->advance();
    return before;
  }
  // Only "at the end or not" is ever compared: the parser asks whether its
  // position has reached the end iterator.
  bool operator==(const ChunkIterator& other) const { return at_end() == other.at_end(); }

 private:
  bool at_end() const { return in_ == nullptr || !in_->more(); }
  ChunkInput* in_ = nullptr;
};

}  // namespace quarnel
