// The forms a name is shown in: JSON strings and paths, the terminal's form,
// and the Windows-1252 form of a name typed in UTF-8, against the decoder
// that the JSON listing uses.
#include "format/text_forms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quarnel {
namespace {

std::string json_string(std::string_view text) {
  std::string out;
  append_json_string(out, text);
  return out;
}
std::string json_path(std::string_view path) {
  std::string out;
  append_json_path(out, path);
  return out;
}

// The UTF-8 text that append_json_string makes of one byte, without quotes.
std::string decoded(char byte) {
  const std::string json = json_string(std::string_view(&byte, 1));
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

// JSON strings decode Windows-1252 and escape controls; paths keep valid
// UTF-8 and take anything else as Windows-1252; console names stay on their line.
TEST(TextFormsTest, EachFormOfAText) {
  const struct {
    std::string (*form)(std::string_view);
    std::string text;
    std::string shown;
  } cases[] = {
      {json_string, "PLAIN", "\"PLAIN\""},
      {json_string, "", "\"\""},
      {json_string, "a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {json_string, "\t\n\r\x01\x1F\x7F", "\"\\t\\n\\r\\u0001\\u001F\\u007F\""},
      {json_string, "\x80\x8A\x9F", "\"\u20AC\u0160\u0178\""},
      {json_string, "\x81\x8D\x8F\x90\x9D", "\"\\u0081\\u008D\\u008F\\u0090\\u009D\""},
      {json_string, "\xA0\xE9\xFF", "\"\u00A0\u00E9\u00FF\""},
      {json_path, "C:\\scenery\\f.bgl", "\"C:\\\\scenery\\\\f.bgl\""},
      {json_path, "caf\u00E9.bgl", "\"caf\u00E9.bgl\""},
      {json_path, "caf\xE9.bgl", "\"caf\u00E9.bgl\""},
      {json_path, "\xED\xA0\x80", "\"\u00ED\u00A0\u20AC\""},  // an encoded surrogate is not UTF-8
      {json_path, "a\x01\xC2\x85", "\"a\\u0001\\u0085\""},
      {shown_text, "A\nB\x7F\xE9", "A\\x0AB\\x7F\xE9"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.form(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace quarnel
