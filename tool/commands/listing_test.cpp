// The listing model and the forms it shows names in: JSON strings for any
// bytes, paths, console names, and listings the scan alone could not give;
// the statistics of a file the Catalogue cannot hold whole.
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "format/text_forms.h"
#include "json_value.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

TEST(TextForms, JsonStringsDecodeWindows1252AndEscapeControls) {
  struct Case {
    std::string bytes;
    std::string json;
  };
  const Case cases[] = {
      {"PLAIN", "\"PLAIN\""},
      {"", "\"\""},
      {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {"\t\n\r\x01\x1F\x7F", "\"\\t\\n\\r\\u0001\\u001F\\u007F\""},
      {"\x80\x8A\x9F", "\"\u20AC\u0160\u0178\""},
      {"\x81\x8D\x8F\x90\x9D", "\"\\u0081\\u008D\\u008F\\u0090\\u009D\""},
      {"\xA0\xE9\xFF", "\"\u00A0\u00E9\u00FF\""},
  };
  for (const Case& c : cases) {
    std::string out;
    append_json_string(out, c.bytes);
    EXPECT_EQ(out, c.json) << c.bytes;
  }
}

TEST(TextForms, PathsKeepValidUtf8AndTakeAnythingElseAsWindows1252) {
  struct Case {
    std::string path;
    std::string json;
  };
  const Case cases[] = {
      {"C:\\scenery\\f.bgl", "\"C:\\\\scenery\\\\f.bgl\""},
      {"caf\u00E9.bgl", "\"caf\u00E9.bgl\""},
      {"caf\xE9.bgl", "\"caf\u00E9.bgl\""},
      {"\xED\xA0\x80", "\"\u00ED\u00A0\u20AC\""},  // an encoded surrogate is not UTF-8
      {"a\x01\xC2\x85", "\"a\\u0001\\u0085\""},
  };
  for (const Case& c : cases) {
    std::string out;
    append_json_path(out, c.path);
    EXPECT_EQ(out, c.json) << c.path;
  }
}

TEST(TextForms, ConsoleNamesStayOnTheirLine) {
  EXPECT_EQ(shown_text("A\nB\x7F\xE9"), "A\\x0AB\\x7F\xE9");
}

TEST(StrictJsonReader, RefusesWhatScriptsWouldRefuse) {
  const char* bad[] = {
      "",          "{",        "[1,]",     "{\"a\":1,}",   "01",
      "1.",        "\"\x01\"", "\"\xC3\"", "\"\xC0\x80\"", "\"\\ud800\"",
      "\"\\x41\"", "[1] 2",    "nul",      "{\"a\" 1}",
  };
  for (const char* text : bad) {
    afdtest::Json value;
    EXPECT_FALSE(afdtest::parse_json(text, &value, nullptr)) << text;
  }
  afdtest::Json value;
  ASSERT_TRUE(afdtest::parse_json(" {\"a\": [1, -0.5e3, true, null, \"\\ud83d\\ude00\"]} ", &value,
                                  nullptr));
  EXPECT_EQ(value["a"].items.at(4).text, "\U0001F600");
}

class ListingTest : public ToolTest {
 protected:
  std::string json_of(const Bytes& bytes) {
    std::string text;
    EXPECT_EQ(run_command({"-J", put("l.bgl", bytes)}, &text), 0);
    return text;
  }
};

TEST_F(ListingTest, AnEmptyFileHasEmptyArraysAndItsTrailer) {
  const std::string json = json_of(AfdBuilder().build());
  const std::string tail = json.substr(json.find("\n \"facilities\""));
  EXPECT_EQ(tail,
            "\n \"facilities\": [],\n \"other_records\": [],\n \"name_lists\": [],\n"
            " \"trailer\": {\"word\": 536871743, \"bounds\": {\"lat_max\": -2147483648, "
            "\"lat_min\": 2147483647, \"lon_max\": -2147483648, \"lon_min\": 2147483647}},\n"
            " \"problems\": []}\n");
}

TEST_F(ListingTest, NamesBeyondTheNamePoolAreReadFromTheirRecords) {
  AfdBuilder b;
  auto& list = b.add_list();
  for (int i = 0; i < 1400; ++i) {
    const int a = b.add(Facility::airport(std::string(290, 'N') + std::to_string(i)));
    list.entries.push_back(NameRef(kAirport, std::string(290, 'E') + std::to_string(i), a));
  }
  afdtest::Json doc;
  std::string error;
  ASSERT_TRUE(afdtest::parse_json(json_of(b.build()), &doc, &error)) << error;
  const auto& entries = doc["name_lists"].items.at(0)["entries"].items;
  ASSERT_EQ(entries.size(), 1400u);
  EXPECT_EQ(entries.back()["name"].text, std::string(290, 'E') + "1399");
  EXPECT_EQ(doc["facilities"].items.back()["name"].text, std::string(290, 'N') + "1399");
  EXPECT_EQ(entries.back()["facility"].number, entries.back()["link"].number);
}

// A statistics run over more records than the Catalogue holds says so ahead
// of its report, and leaves the file closed.
TEST_F(ListingTest, StatisticsOverflowLineComesBeforeTheReport) {
  AfdBuilder b = afdtest::numbered_airports(20000);
  b.add_list().entries = {afdtest::NameRef(kCity, "LOST")};
  const std::string path = put("full.bgl", b.build());
  afdtest::CapturedStdout out;
  EXPECT_EQ(run_statistics(rs, path), kExitOk);
  const std::string text = out.text();
  EXPECT_EQ(text.rfind("overflow 20000\ncontainers:     20000\nname list:         0\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("cat count:      20000\n"), std::string::npos);
  EXPECT_NE(text.find("airports:       20000\n"), std::string::npos);
  EXPECT_EQ(rs.airport_box, (CoverageBox{19999, 0, 0, -19999}));
  EXPECT_FALSE(rs.first_input.is_open());
}

}  // namespace
}  // namespace quarnel::testing
