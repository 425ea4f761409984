// Raw bytes as the JSON document carries them: lowercase hex digits, two per
// byte, so that a person can read them and a script can compare them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel {

using Bytes = std::vector<uint8_t>;

inline void append_hex(std::string& out, const uint8_t* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::size_t at = out.size();
  out.resize(at + 2 * n);
  char* p = out.data() + at;
  for (std::size_t i = 0; i < n; ++i) {
    *p++ = kDigits[bytes[i] >> 4];
    *p++ = kDigits[bytes[i] & 0xF];
  }
}

// Appends the bytes that `hex` spells to `out`. Upper-case digits are taken as
// well; false, with `out` unchanged, for an odd count or any other character.
inline bool decode_hex(std::string_view hex, Bytes* out) {
  if (hex.size() % 2 != 0) return false;
  const std::size_t at = out->size();
  out->resize(at + hex.size() / 2);
  uint8_t* dst = out->data() + at;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (std::size_t k = 0; k < 2; ++k) {
      const char c = hex[i + k];
      int digit = 0;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        out->resize(at);
        return false;
      }
      value = value << 4 | digit;
    }
    *dst++ = static_cast<uint8_t>(value);
  }
  return true;
}

}  // namespace quarnel
