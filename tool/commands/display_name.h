// Names from a file as the lines for people show them. A file holds its names
// in Windows-1252. A Windows console shows them in that code page as they are;
// a POSIX terminal speaks UTF-8, so there they are decoded as -J decodes them,
// and `quarnel -L f | grep MÜNCHEN` finds what it looks for. The core
// commands' outputs (-S, the -C trace, -R) never come here: they keep the file's bytes.
#pragma once

#include <string>
#include <string_view>

#include "format/text_forms.h"
#include "io/platform.h"

namespace quarnel {

// `bytes` for a line on this platform's terminal, control characters escaped
// as \xHH. Text that passed through shown_text comes out the same, so whole
// lines that carry names (-V's findings) may be given too.
inline std::string display_name(std::string_view bytes) {
  return platform::terminal_uses_utf8() ? utf8_shown_text(bytes) : shown_text(bytes);
}

}  // namespace quarnel
