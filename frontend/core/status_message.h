// The text shown after the tool has ended, chosen by its exit status.
#pragma once

#include <cstdint>
#include <string>

namespace quarnel_helper {

// Where users send the codes that have no text of their own.
inline constexpr char kSupportAddress[] = "support@quarnel.example";

// The exit status that stays when the tool could not be started or its exit
// code could not be read.
inline constexpr std::uint32_t kToolNotStarted = 0xFFFFFFFFu;

std::string StatusMessage(std::uint32_t exit_status);

// The texts of the merge's own codes.
inline constexpr char kMergeNoFacilityText[] = "The source file holds no airport, VOR or NDB.";
inline constexpr char kMergeTooManyRecordsText[] =
    "The result would hold more records than the tool can take.";
// A Quarnel older than the merge answers -m with "unknown command" and 0,
// having written nothing: that must not pass for a success.
inline constexpr char kToolCannotMergeText[] =
    "End of process ! Status : This Quarnel cannot merge ! \n"
    "Put the quarnel.exe that came with this dialog beside it.";

// The text after a merge: the link's texts, the merge's own for its codes,
// and on success the tool's last report line (report_line, when not empty)
// on a line of its own.
std::string MergeStatusMessage(std::uint32_t exit_status, const std::string& report_line);

}  // namespace quarnel_helper
