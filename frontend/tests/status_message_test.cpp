// Tests of the message shown for each ExitCode.
#include "status_message.h"

#include <gtest/gtest.h>

#include <vector>

#include "tool/commands/exit_codes.h"

namespace quarnel_helper {
namespace {

// The tool's codes have a text each; any other is shown in upper-case hex.
TEST(StatusMessageTest, EveryCodeOfTheToolHasItsTextAndOthersTheirHex) {
  const std::string kInternal = "End of process ! Status : Internal error code: ";
  const std::string kSendEmail = " ! \nSend email with the code to support@quarnel.example";
  const struct {
    std::uint32_t status;
    std::string text;
  } cases[] = {
      {quarnel::kExitOk, "End of process ! Status : Sucess ! "},
      {quarnel::kExitOutOfMemory, "End of process ! Status : Out of memory ! "},
      {quarnel::kExitCannotOpen, "End of process ! Status : File open error ! "},
      {quarnel::kExitBadHeader, "End of process ! Status : Wrong BGL header ! "},
      {quarnel::kExitNothingFound, "End of process ! Status : Nothing found ! "},
      {quarnel::kExitNoMatch, "End of process ! Status : No vaild data in input file ! "},
      {quarnel::kExitCannotWrite, "End of process ! Status : Can\xB4t open output file ! "},
      {0xFFFFFFFFu, "End of process ! Status : Quarnel not found ! "},
      {quarnel::kExitNestingOverflow, kInternal + "F" + kSendEmail},
      {quarnel::kExitTooManyNames, kInternal + "7" + kSendEmail},
      {16, kInternal + "10" + kSendEmail},
      {255, kInternal + "FF" + kSendEmail},
      {259, kInternal + "103" + kSendEmail},  // what a process that never ended reports
      {0xC0000005u, kInternal + "C0000005" + kSendEmail},
      {0xFFFFFFFEu, kInternal + "FFFFFFFE" + kSendEmail},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StatusMessage(c.status), c.text) << c.status;
  }
}

TEST(MergeStatusMessageTest, OnlySuccessFiveAndTenDifferFromTheLink) {
  std::vector<std::uint32_t> statuses = {0xFFFFFFFFu, 0xFFFFFFFEu, 0xC0000005u, 259};
  for (std::uint32_t code = 0; code <= 32; ++code) statuses.push_back(code);
  for (const std::uint32_t status : statuses) {
    for (const char* report : {"", "3 replaced, 1 added, 0 left out"}) {
      const std::string merged = MergeStatusMessage(status, report);
      switch (status) {
        case quarnel::kExitOk:
          EXPECT_EQ(merged, *report == '\0' ? StatusMessage(status)
                                            : StatusMessage(status) + "\n" + report);
          break;
        case quarnel::kExitNoMatch:
          EXPECT_EQ(merged, "The source file holds no airport, VOR or NDB.");
          break;
        case quarnel::kExitTooManyRecords:
          EXPECT_EQ(merged, "The result would hold more records than the tool can take.");
          break;
        default:
          EXPECT_EQ(merged, StatusMessage(status)) << status;
      }
    }
  }
}

}  // namespace
}  // namespace quarnel_helper
