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

// The parser keeps every character of the token it reads, twice over. So no
// token reaches it longer than this: the longest name the tool reads back,
// every byte of it escaped in six characters, is shorter.
constexpr std::size_t kMaxStringText = 400000;
// And no number, true, false or null longer than this.
constexpr std::size_t kMaxTokenText = 4096;

// What the reader does with the string that opens at a quote.
enum class StringRoute : uint8_t {
  kParse,  // the parser reads it, up to kMaxStringText characters
  kHex,    // hex digits: told to the guard in blocks; the parser sees ""
  kDrop,   // a value that nothing reads: passed over; the parser sees ""
};

// The reader's side of the input: it knows, at each quote, which slot the
// string fills, and the fault of a token too long to hand on.
class InputGuard {
 public:
  virtual ~InputGuard() = default;
  virtual StringRoute route_string() = 0;
  virtual void hex_text(const char* text, std::size_t n) = 0;
  // The reading stops at a token too long to hold: a string (`string`) or
  // another token. The guard keeps the fault.
  virtual void too_long(bool string) = 0;
};

// The input in blocks, so the parser's per-character reads cost a compare and
// an increment, not a library call. The parser keeps every character of the
// token it is reading, whitespace before it included, so a run of whitespace
// outside strings reaches it as its first character alone: a document padded
// with gigabytes of blanks is read in constant memory. Strings of hex digits
// and strings that nothing reads never reach it at all, and a token too long
// to hold stops the reading. Lines and columns are counted here, on the input
// as it is, and only as far as a place is asked for: the count trails the
// reading and catches up by memchr.
class ChunkInput {
 public:
  enum class Stop : uint8_t { kNone, kNul, kGuard };

  ChunkInput(std::FILE* file, InputGuard& guard)
      : file_(file), guard_(guard), buffer_(std::size_t{1} << 16) {}
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
        return;
      }
      if (++token_chars_ > kMaxStringText) stop_for(true);
    } else if (c == '"') {
      in_string_ = true;
      token_chars_ = 0;
      const StringRoute route = guard_.route_string();
      if (route != StringRoute::kParse) divert(route);
    } else if (is_space(c) || is_structural(c)) {
      token_chars_ = 0;
      if (is_space(c) && (p_ == end_ || is_space(*p_))) skip_run();
    } else if (++token_chars_ > kMaxTokenText) {
      stop_for(false);
    }
  }
  bool failed() const { return failed_; }
  // Why the input ended early: at a NUL byte, or at the guard's fault.
  Stop stop() const { return stop_; }

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
    return place_text(line, column);
  }
  // Where the NUL byte that stopped the input is.
  const std::string& nul_place() const { return nul_place_; }

 private:
  static bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
  static bool is_structural(char c) {
    return c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == ':';
  }
  static std::string place_text(uint64_t line, uint64_t column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }
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
  // The string that just opened goes past the parser up to its closing
  // quote, which is left for the parser: it reads "". An escape is told as
  // it stands: it is no hex digit, so hex text that holds one is wrong.
  void divert(StringRoute route) {
    const bool hex = route == StringRoute::kHex;
    while (more()) {
      if (escaped_) {
        escaped_ = false;
        if (hex) guard_.hex_text(p_, 1);
        ++p_;
        continue;
      }
      const char* q = p_;
      while (q != end_ && *q != '"' && *q != '\\') ++q;
      if (hex && q != p_) guard_.hex_text(p_, static_cast<std::size_t>(q - p_));
      p_ = q;
      if (q == end_) continue;
      if (*q == '"') return;
      if (hex) guard_.hex_text(p_, 1);
      escaped_ = true;
      ++p_;
    }
  }
  void stop_for(bool string) {
    guard_.too_long(string);
    stop_ = Stop::kGuard;
    done_ = true;
    end_ = p_;
  }
  bool refill() {
    if (done_) return false;
    if (nul_ahead_) {
      // The input ends at the NUL, which stands at end_.
      uint64_t line = 0;
      uint64_t column = 0;
      position(end_, &line, &column);
      nul_place_ = place_text(line, column);
      stop_ = Stop::kNul;
      done_ = true;
      return false;
    }
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
    // No JSON text holds a NUL: the block ends before one.
    if (const void* nul = std::memchr(p_, 0, n)) {
      end_ = static_cast<const char*>(nul);
      nul_ahead_ = true;
      if (end_ == p_) return refill();
    }
    return true;
  }
  const char* p_start() const { return end_ == nullptr ? nullptr : buffer_.data(); }

  std::FILE* file_;
  InputGuard& guard_;
  std::vector<char> buffer_;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  const char* counted_ = nullptr;
  uint64_t base_ = 0;  // the input offset of buffer_[0]
  bool done_ = false;
  bool failed_ = false;
  bool nul_ahead_ = false;
  Stop stop_ = Stop::kNone;
  std::string nul_place_;
  bool in_string_ = false;
  bool escaped_ = false;
  std::size_t token_chars_ = 0;  // of the string or other token being read
  uint64_t lines_ = 0;           // newlines before counted_
  uint64_t line_start_ = 0;      // the offset behind the last of them
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
