// Tests of the statistics command's report and its failures.
#include <gtest/gtest.h>

#include "commands/commands.h"
#include "commands/exit_codes.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

class StatisticsTest : public ToolTest {};

TEST_F(StatisticsTest, OverflowLineComesBeforeTheReport) {
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
}

TEST_F(StatisticsTest, TheFileIsNeverModified) {
  const afdtest::Bytes bytes = AfdBuilder().build();
  const std::string path = put("f.bgl", bytes);
  afdtest::CapturedStdout out;
  ASSERT_EQ(run_statistics(rs, path), kExitOk);
  EXPECT_EQ(afdtest::read_file(path), bytes);
  EXPECT_FALSE(rs.first_input.is_open());
}

}  // namespace
}  // namespace quarnel::testing
