// Raw bytes as the JSON document carries them: lowercase hex digits, two per
// byte, so that a person can read them and a script can compare them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

// The value of each hex digit; 16 for any other byte.
struct HexDigits {
  uint8_t value[256];
  constexpr HexDigits() : value() {
    for (int c = 0; c < 256; ++c) value[c] = 16;
    for (int c = 0; c < 10; ++c) value['0' + c] = static_cast<uint8_t>(c);
    for (int c = 0; c < 6; ++c) {
      value['a' + c] = static_cast<uint8_t>(10 + c);
      value['A' + c] = static_cast<uint8_t>(10 + c);
    }
  }
};
inline constexpr HexDigits kHexDigits{};

}  // namespace quarnel
