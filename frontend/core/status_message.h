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

}  // namespace quarnel_helper
