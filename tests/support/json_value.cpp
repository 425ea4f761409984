// A recursive-descent JSON reader, strict about everything RFC 8259 forbids:
// control characters and invalid UTF-8 in strings, bad escapes, lone
// surrogates, leading zeros, trailing commas, and anything after the document.
#include "json_value.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace afdtest {

namespace {

constexpr int kMaxDepth = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool document(Json* out) {
    skip_space();
    if (!value(out, 0)) return false;
    skip_space();
    return pos_ == s_.size() || fail("text after the document");
  }
  std::string error() const { return error_ + " at byte " + std::to_string(pos_); }

 private:
  bool fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  void skip_space() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return fail("unknown literal");
    pos_ += word.size();
    return true;
  }

  bool value(Json* out, int depth) {
    if (depth > kMaxDepth) return fail("nested too deep");
    if (pos_ >= s_.size()) return fail("value expected");
    switch (s_[pos_]) {
      case '{':
        return object(out, depth);
      case '[':
        return array(out, depth);
      case '"':
        out->type = Json::kString;
        return string(&out->text);
      case 't':
        out->type = Json::kBool;
        out->boolean = true;
        return literal("true");
      case 'f':
        out->type = Json::kBool;
        return literal("false");
      case 'n':
        out->type = Json::kNull;
        return literal("null");
      default:
        return number(out);
    }
  }

  bool object(Json* out, int depth) {
    out->type = Json::kObject;
    ++pos_;
    skip_space();
    if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
    for (;;) {
      skip_space();
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"') return fail("member name expected");
      if (!string(&key)) return false;
      skip_space();
      if (pos_ >= s_.size() || s_[pos_] != ':') return fail("':' expected");
      ++pos_;
      skip_space();
      Json member;
      if (!value(&member, depth + 1)) return false;
      out->names.push_back(std::move(key));
      out->values.push_back(std::move(member));
      skip_space();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
      return fail("',' or '}' expected");
    }
  }

  bool array(Json* out, int depth) {
    out->type = Json::kArray;
    ++pos_;
    skip_space();
    if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
    for (;;) {
      skip_space();
      Json item;
      if (!value(&item, depth + 1)) return false;
      out->items.push_back(std::move(item));
      skip_space();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
      return fail("',' or ']' expected");
    }
  }

  bool digits() {
    const std::size_t from = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    return pos_ > from;
  }

  bool number(Json* out) {
    const std::size_t from = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (!digits()) {
      return fail("number expected");
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digits()) return fail("digits expected after '.'");
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) return fail("digits expected in the exponent");
    }
    out->type = Json::kNumber;
    out->text = std::string(s_.substr(from, pos_ - from));
    out->number = std::strtod(out->text.c_str(), nullptr);
    return true;
  }

  bool hex4(uint32_t* v) {
    if (s_.size() - pos_ < 4) return fail("short \\u escape");
    *v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[pos_++];
      uint32_t d = 0;
      if (c >= '0' && c <= '9') {
        d = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return fail("bad hex digit");
      }
      *v = *v << 4 | d;
    }
    return true;
  }

  static void put_utf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
      *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      *out += static_cast<char>(0xC0 | cp >> 6);
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out += static_cast<char>(0xE0 | cp >> 12);
      *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | cp >> 18);
      *out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
      *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool escape(std::string* out) {
    if (pos_ >= s_.size()) return fail("escape cut off");
    const char c = s_[pos_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        *out += c;
        return true;
      case 'b':
        *out += '\b';
        return true;
      case 'f':
        *out += '\f';
        return true;
      case 'n':
        *out += '\n';
        return true;
      case 'r':
        *out += '\r';
        return true;
      case 't':
        *out += '\t';
        return true;
      case 'u':
        break;
      default:
        return fail("unknown escape");
    }
    uint32_t cp = 0;
    if (!hex4(&cp)) return false;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("lone low surrogate");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      uint32_t low = 0;
      if (s_.substr(pos_, 2) != "\\u") return fail("lone high surrogate");
      pos_ += 2;
      if (!hex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return fail("lone high surrogate");
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    put_utf8(out, cp);
    return true;
  }

  // One UTF-8 sequence, checked: no overlong forms, no surrogates.
  bool utf8(std::string* out) {
    const auto lead = static_cast<uint8_t>(s_[pos_]);
    std::size_t n = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
      n = 2, min = 0x80, cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      n = 3, min = 0x800, cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      n = 4, min = 0x10000, cp = lead & 0x07u;
    } else {
      return fail("invalid UTF-8 lead byte");
    }
    if (s_.size() - pos_ < n) return fail("UTF-8 sequence cut off");
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<uint8_t>(s_[pos_ + k]);
      if ((c & 0xC0) != 0x80) return fail("invalid UTF-8 continuation");
      cp = cp << 6 | (c & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return fail("invalid UTF-8 code point");
    }
    out->append(s_.substr(pos_, n));
    pos_ += n;
    return true;
  }

  bool string(std::string* out) {
    ++pos_;
    while (pos_ < s_.size()) {
      const auto c = static_cast<uint8_t>(s_[pos_]);
      if (c == '"') return ++pos_, true;
      if (c < 0x20) return fail("control character in a string");
      if (c == '\\') {
        ++pos_;
        if (!escape(out)) return false;
      } else if (c < 0x80) {
        *out += static_cast<char>(c);
        ++pos_;
      } else if (!utf8(out)) {
        return false;
      }
    }
    return fail("string not closed");
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  static const Json kNone;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == key) return values[i];
  }
  return kNone;
}

bool Json::has(const std::string& key) const {
  for (const std::string& name : names) {
    if (name == key) return true;
  }
  return false;
}

bool parse_json(std::string_view text, Json* out, std::string* error) {
  Reader reader(text);
  *out = Json{};
  if (reader.document(out)) return true;
  if (error != nullptr) *error = reader.error();
  return false;
}

}  // namespace afdtest
