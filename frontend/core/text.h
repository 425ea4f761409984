// Path texts of the dialog: 8-bit strings of the ANSI code page.
#pragma once

#include <string>

namespace quarnel_helper {

// The part of path before its last backslash; empty when there is none.
// "C:\X.BGL" gives "C:", which is what a file in a drive's root is filed under.
std::string FolderOf(const std::string& path);

// The program's name as its message boxes show it: the file name of the
// program without folder and extension ("C:\APP\QuarnelHelper.exe" gives
// "QuarnelHelper").
std::string ProgramTitleOf(const std::string& module_path);

// The last line of text that holds anything, without its line break ("\n" or
// "\r\n"); empty when there is none.
std::string LastLine(const std::string& text);

// Upper-cases the ASCII letters in place. Other bytes stay as they are, so the
// text keeps its length and every path that goes through here is changed in
// exactly the same way, which is what the output-path clash test relies on.
void MakeUpper(std::string* text);

}  // namespace quarnel_helper
