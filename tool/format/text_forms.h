// The forms in which names from a file are shown: on a console line, and as
// JSON strings. Names are bytes in the Windows-1252 code page, and a damaged
// file may put any byte in them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarnel {

// The bytes as they are, but control characters as \xHH, so that one name
// always stays on its one line.
std::string shown_text(std::string_view bytes);

// The bytes decoded as Windows-1252 into UTF-8, the form a terminal that
// speaks UTF-8 shows; control characters, the five bytes the code page leaves
// undefined among them, as \xHH of their byte. The same mapping as
// append_json_string, so a name reads the same in every listing.
std::string utf8_shown_text(std::string_view bytes);

// Appends `bytes`, decoded as Windows-1252, as a quoted JSON string in UTF-8,
// with every control character escaped.
void append_json_string(std::string& out, std::string_view bytes);

// Appends a path as a quoted JSON string: valid UTF-8 stays as it is (control
// characters escaped), anything else is taken as Windows-1252, the code page a
// Windows console hands its programs.
void append_json_path(std::string& out, std::string_view bytes);

bool is_valid_utf8(std::string_view bytes);

// The Windows-1252 bytes of a name given as valid UTF-8: the inverse of
// append_json_string, so the five undefined bytes come back from the C1 code
// points it gives them. False at the first character the code page cannot
// hold (`*bad`, when asked for, is its code point; 0 for a NUL, which would end the name).
bool windows_1252_from_utf8(std::string_view utf8, std::string* out, uint32_t* bad = nullptr);

}  // namespace quarnel
