// Tests of the command line the dialog builds for the tool.
#include "command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quarnel_helper {
namespace {

ToolInvocation Typical() {
  return ToolInvocation{"C:\\QUARNEL",     "-r",      "C:\\FS\\EURNWAFD.BGL",
                        "D:\\MY\\SRC.BGL", "E:\\OUT", "NEWAFD.BGL"};
}

std::string Format(const ToolInvocation& call) {
  char buffer[kCommandLineSize];
  EXPECT_TRUE(FormatCommandLine(call, buffer, sizeof buffer));
  return buffer;
}

TEST(FormatCommandLineTest, BuildsTheLinkCommand) {
  const struct {
    ToolInvocation call;
    const char* expected;
  } cases[] = {
      {Typical(),
       "C:\\QUARNEL\\Quarnel -r \"C:\\FS\\EURNWAFD.BGL\" \"D:\\MY\\SRC.BGL\" "
       "\"E:\\OUT\\NEWAFD.BGL\""},
      // Nothing chosen yet: empty quotes, and the output lands in the drive's root.
      {{"C:\\QUARNEL", "-r", "", "", "", "NEWAFD.BGL"},
       "C:\\QUARNEL\\Quarnel -r \"\" \"\" \"\\NEWAFD.BGL\""},
      // An empty name leaves the backslash right before the closing quote.
      {{"C:\\QUARNEL", "-r", "A", "B", "E:\\OUT", ""},
       "C:\\QUARNEL\\Quarnel -r \"A\" \"B\" \"E:\\OUT\\\""},
      // A drive root as tool folder keeps its own backslash.
      {{"C:\\", "-r", "A", "B", "C", "D"}, "C:\\\\Quarnel -r \"A\" \"B\" \"C\\D\""},
      // A blank in the tool folder would split the program token.
      {{"C:\\PROGRAM FILES\\QUARNEL", "-r", "A", "B", "C", "D"},
       "\"C:\\PROGRAM FILES\\QUARNEL\\Quarnel\" -r \"A\" \"B\" \"C\\D\""},
      {{"C:\\TAB\tDIR", "-r", "A", "B", "C", "D"},
       "\"C:\\TAB\tDIR\\Quarnel\" -r \"A\" \"B\" \"C\\D\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Format(c.call), c.expected);
  }
}

// Fixed text around the six values: "\Quarnel " + " \"" + "\" \"" + "\" \"" + "\\" + "\"".
constexpr std::size_t kFixedLength = sizeof("\\Quarnel  \"\" \"\" \"\\\"") - 1;

TEST(FormatCommandLineTest, FitsUpToTheLastByteAndNoFurther) {
  ToolInvocation call{"C:", "-r", "B", "S", "O", ""};
  const std::size_t base_length = 2 + 2 + 1 + 1 + 1 + kFixedLength;
  for (const std::size_t total : {std::size_t{1022}, std::size_t{1023}, std::size_t{1024},
                                  std::size_t{1025}, std::size_t{5000}}) {
    call.output_name.assign(total - base_length, 'N');
    // Guard bytes on both sides catch any write outside the buffer.
    std::vector<char> memory(kCommandLineSize + 64, '#');
    char* buffer = memory.data() + 32;
    const bool fits = FormatCommandLine(call, buffer, kCommandLineSize);
    EXPECT_EQ(fits, total <= kCommandLineSize - 1) << total;
    if (fits) {
      EXPECT_EQ(std::strlen(buffer), total);
    }
    EXPECT_LE(std::strlen(buffer), kCommandLineSize - 1);
    for (std::size_t i = 0; i < 32; ++i) {
      ASSERT_EQ(memory[i], '#') << "written before the buffer, total " << total;
      ASSERT_EQ(memory[32 + kCommandLineSize + i], '#')
          << "written past the buffer, total " << total;
    }
  }
}

TEST(FormatCommandLineTest, RefusesBuffersTooSmallForAnything) {
  char one = '#';
  EXPECT_FALSE(FormatCommandLine(Typical(), &one, 1));
  EXPECT_EQ(one, '\0');
  EXPECT_FALSE(FormatCommandLine(Typical(), nullptr, 0));
  char untouched = '#';
  EXPECT_FALSE(FormatCommandLine(Typical(), &untouched, 0));
  EXPECT_EQ(untouched, '#');
}

}  // namespace
}  // namespace quarnel_helper
