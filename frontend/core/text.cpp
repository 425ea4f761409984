// Small text helpers of the dialog: folders, program titles, upper case.
#include "text.h"

namespace quarnel_helper {

std::string FolderOf(const std::string& path) {
  const std::string::size_type backslash = path.rfind('\\');
  if (backslash == std::string::npos) return std::string();
  return path.substr(0, backslash);
}

std::string ProgramTitleOf(const std::string& module_path) {
  const std::string::size_type backslash = module_path.rfind('\\');
  std::string name =
      backslash == std::string::npos ? module_path : module_path.substr(backslash + 1);
  const std::string::size_type dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string LastLine(const std::string& text) {
  std::string::size_type end = text.size();
  while (end > 0) {
    const std::string::size_type newline = text.rfind('\n', end - 1);
    const std::string::size_type begin = newline == std::string::npos ? 0 : newline + 1;
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) return line;
    if (newline == std::string::npos) break;
    end = newline;
  }
  return std::string();
}

void MakeUpper(std::string* text) {
  for (char& c : *text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace quarnel_helper
