// The forms in which names from a file are shown: on a console line, and as
// JSON strings. Names are bytes in the Windows-1252 code page, and a damaged
// file may put any byte in them.
#pragma once

#include <string>
#include <string_view>

namespace quarnel {

// The bytes as they are, but control characters as \xHH, so that one name
// always stays on its one line.
std::string shown_text(std::string_view bytes);

// Appends `bytes`, decoded as Windows-1252, as a quoted JSON string in UTF-8,
// with every control character escaped.
void append_json_string(std::string& out, std::string_view bytes);

// Appends a path as a quoted JSON string: valid UTF-8 stays as it is (control
// characters escaped), anything else is taken as Windows-1252, the code page a
// Windows console hands its programs.
void append_json_path(std::string& out, std::string_view bytes);

bool is_valid_utf8(std::string_view bytes);

// `utf8` in Windows-1252, the code page of the names in a file. False when it
// is not valid UTF-8 or holds a character that the code page lacks.
bool utf8_to_windows_1252(std::string_view utf8, std::string* out);

}  // namespace quarnel
