// Listings the scan alone could not give, and the statistics of a file the
// Catalogue cannot hold whole.
#include <string>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

using ListingTest = ToolTest;

TEST_F(ListingTest, AnEmptyFileHasEmptyArraysAndItsTrailer) {
  std::string json;
  EXPECT_EQ(run_command({"-J", put("l.bgl", AfdBuilder().build())}, &json), 0);
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
  const nlohmann::json doc = parsed_listing(put("l.bgl", b.build()));
  const nlohmann::json& entries = doc.at("name_lists").at(0).at("entries");
  ASSERT_EQ(entries.size(), 1400u);
  EXPECT_EQ(entries.back().at("name"), std::string(290, 'E') + "1399");
  EXPECT_EQ(doc.at("facilities").back().at("name"), std::string(290, 'N') + "1399");
  EXPECT_EQ(entries.back().at("facility"), entries.back().at("link"));
}

// A statistics run over more records than the Catalogue holds stops its scan
// there and says so once, ahead of its report, and leaves the file closed.
TEST_F(ListingTest, StatisticsOverflowLineComesBeforeTheReport) {
  AfdBuilder b = afdtest::numbered_airports(20000);
  b.add_list().entries = {afdtest::NameRef(kCity, "LOST")};
  const std::string path = put("full.bgl", b.build());
  afdtest::CapturedStdout out;
  EXPECT_EQ(run_statistics(rs, path), kExitOk);
  const std::string text = out.text();
  EXPECT_EQ(text.rfind("overflow 20000\ncontainers:     20000\nname list:         0\n", 0), 0u)
      << text;
  EXPECT_EQ(text.find("overflow", 1), std::string::npos) << "said once";
  EXPECT_NE(text.find("cat count:      20000\n"), std::string::npos);
  EXPECT_NE(text.find("airports:       20000\n"), std::string::npos);
  EXPECT_EQ(rs.airport_box, (CoverageBox{19999, 0, 0, -19999}));
  EXPECT_FALSE(rs.first_input.is_open());
}

}  // namespace
}  // namespace quarnel::testing
