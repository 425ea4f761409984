// Console and JSON forms of names.
#include "format/text_forms.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace quarnel {

namespace {

// Windows-1252 0x80..0x9F. The five bytes the code page leaves undefined keep
// their C1 control code points, as the web's decoders do.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool is_control(uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Appends one code point of a JSON string's contents.
void append_json_char(std::string& out, uint32_t cp) {
  switch (cp) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (is_control(cp)) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(cp));
    out += escaped;
    return;
  }
  append_utf8(out, cp);
}

uint32_t windows_1252(uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

// The length of the UTF-8 sequence at `s[i]` and its code point; 0 when it is
// not a valid sequence (overlong forms and surrogates included).
std::size_t utf8_sequence(std::string_view s, std::size_t i, uint32_t* cp) {
  const auto lead = static_cast<uint8_t>(s[i]);
  std::size_t n = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    *cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, min = 0x80, *cp = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, min = 0x800, *cp = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, *cp = lead & 0x07u;
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<uint8_t>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    *cp = *cp << 6 | (c & 0x3Fu);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string shown_text(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string utf8_shown_text(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    const uint32_t cp = windows_1252(byte);
    if (is_control(cp)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      append_utf8(out, cp);
    }
  }
  return out;
}

void append_json_string(std::string& out, std::string_view bytes) {
  out += '"';
  for (const char c : bytes) append_json_char(out, windows_1252(static_cast<uint8_t>(c)));
  out += '"';
}

bool is_valid_utf8(std::string_view bytes) {
  uint32_t cp = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8_sequence(bytes, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void append_json_path(std::string& out, std::string_view bytes) {
  if (!is_valid_utf8(bytes)) {
    append_json_string(out, bytes);
    return;
  }
  out += '"';
  uint32_t cp = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = utf8_sequence(bytes, i, &cp);
    if (is_control(cp) || cp == '"' || cp == '\\') {
      append_json_char(out, cp);
    } else {
      out.append(bytes.substr(i, n));
    }
    i += n;
  }
  out += '"';
}

bool windows_1252_from_utf8(std::string_view utf8, std::string* out, uint32_t* bad) {
  out->clear();
  out->reserve(utf8.size());
  uint32_t cp = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = utf8_sequence(utf8, i, &cp);
    if (n == 0 || cp == 0) {
      if (bad != nullptr) *bad = n == 0 ? static_cast<uint8_t>(utf8[i]) : 0;
      return false;
    }
    i += n;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      *out += static_cast<char>(cp);
      continue;
    }
    const auto* high = std::find(std::begin(kHighControls), std::end(kHighControls), cp);
    if (high == std::end(kHighControls)) {
      if (bad != nullptr) *bad = cp;
      return false;
    }
    *out += static_cast<char>(0x80 + (high - std::begin(kHighControls)));
  }
  return true;
}

}  // namespace quarnel
