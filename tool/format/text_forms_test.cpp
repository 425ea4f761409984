// The Windows-1252 form of a name typed in UTF-8, against the decoder that
// the JSON listing uses.
#include "format/text_forms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quarnel {
namespace {

// The UTF-8 text that append_json_string makes of one byte, without quotes.
std::string decoded(char byte) {
  std::string json;
  append_json_string(json, std::string_view(&byte, 1));
  return json.substr(1, json.size() - 2);
}

TEST(TextFormsTest, EveryPrintableByteComesBackFromItsUtf8Form) {
  int checked = 0;
  for (int b = 0x20; b <= 0xFF; ++b) {
    const std::string utf8 = decoded(static_cast<char>(b));
    if (utf8.rfind("\\", 0) == 0) continue;  // an escaped control character or quote
    std::string back;
    ASSERT_TRUE(windows_1252_from_utf8(utf8, &back)) << b;
    EXPECT_EQ(back, std::string(1, static_cast<char>(b))) << b;
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

TEST(TextFormsTest, TextTheCodePageLacksHasNoForm) {
  std::string out;
  EXPECT_TRUE(windows_1252_from_utf8("STUTTG\xC3\x84RT \xE2\x82\xAC", &out));
  EXPECT_EQ(out, "STUTTG\xC4RT \x80");
  EXPECT_FALSE(windows_1252_from_utf8("\xE6\x9D\xB1\xE4\xBA\xAC", &out));  // 東京
  EXPECT_FALSE(windows_1252_from_utf8("\xC4RT", &out));                    // not UTF-8
}

// The terminal's form is -J's decoding, but for control characters, which
// show as \xHH of their byte; and it takes shown_text's lines as they are.
TEST(TextFormsTest, TheTerminalsFormIsTheJsonDecodingWithControlsEscaped) {
  for (int b = 0; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string json = decoded(static_cast<char>(b));
    const bool control = json.rfind("\\u", 0) == 0 ||
                         (json.size() == 2 && json[0] == '\\' && json[1] != '"' && json[1] != '\\');
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(b));
    const std::string plain = b == '"' ? "\"" : b == '\\' ? "\\" : json;
    EXPECT_EQ(utf8_shown_text(byte), control ? std::string(escaped) : plain) << b;
    EXPECT_EQ(utf8_shown_text(shown_text(byte)), utf8_shown_text(byte)) << b;
  }
  EXPECT_EQ(utf8_shown_text("M\xDCNCHEN \x80\x81\x0A"), "M\xC3\x9CNCHEN \xE2\x82\xAC\\x81\\x0A");
}

}  // namespace
}  // namespace quarnel
