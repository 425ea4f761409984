#include "text.h"

namespace quarnel_helper {

std::string FolderOf(const std::string& path) {
  const std::string::size_type backslash = path.rfind('\\');
  if (backslash == std::string::npos) return std::string();
  return path.substr(0, backslash);
}

void MakeUpper(std::string* text) {
  for (char& c : *text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace quarnel_helper
