// The message shown for each ExitCode of the tool.
#include "status_message.h"

#include <cstdio>

#include "tool/commands/exit_codes.h"

namespace quarnel_helper {

std::string StatusMessage(std::uint32_t exit_status) {
  switch (exit_status) {
    case quarnel::kExitOk:
      return "End of process ! Status : Sucess ! ";
    case quarnel::kExitOutOfMemory:
      return "End of process ! Status : Out of memory ! ";
    case quarnel::kExitCannotOpen:
      return "End of process ! Status : File open error ! ";
    case quarnel::kExitBadHeader:
      return "End of process ! Status : Wrong BGL header ! ";
    case quarnel::kExitNothingFound:
      return "End of process ! Status : Nothing found ! ";
    case quarnel::kExitNoMatch:
      return "End of process ! Status : No vaild data in input file ! ";
    case quarnel::kExitCannotWrite:
      // 0xB4 is the acute accent of the Windows-1252 code page the box is shown in.
      return "End of process ! Status : Can\xB4t open output file ! ";
    case kToolNotStarted:
      return "End of process ! Status : Quarnel not found ! ";
    default:
      break;
  }
  // "%X" of a 32-bit value: at most 8 digits, so this buffer always suffices.
  char code[16];
  std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(exit_status));
  return std::string("End of process ! Status : Internal error code: ") + code +
         " ! \nSend email with the code to " + kSupportAddress;
}

std::string MergeStatusMessage(std::uint32_t exit_status, const std::string& report_line) {
  switch (exit_status) {
    case quarnel::kExitOk:
      if (report_line == "unknown command") return kToolCannotMergeText;
      if (report_line.empty()) return StatusMessage(exit_status);
      return StatusMessage(exit_status) + "\n" + report_line;
    case quarnel::kExitNoMatch:
      return kMergeNoFacilityText;
    case quarnel::kExitTooManyRecords:
      return kMergeTooManyRecordsText;
    default:
      return StatusMessage(exit_status);
  }
}

}  // namespace quarnel_helper
