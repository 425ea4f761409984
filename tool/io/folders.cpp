#include "io/folders.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <system_error>

namespace quarnel {

namespace fs = std::filesystem;

namespace {

int errno_of(const std::error_code& error) { return error.default_error_condition().value(); }

#if defined(_WIN32)
// Windows compares names without regard to letter case.
bool same_name(const fs::path& a, const fs::path& b) {
  const std::wstring x = a.native(), y = b.native();
  return x.size() == y.size() &&
         std::equal(x.begin(), x.end(), y.begin(),
                    [](wchar_t p, wchar_t q) { return std::towlower(p) == std::towlower(q); });
}
#else
bool same_name(const fs::path& a, const fs::path& b) { return a == b; }
#endif

}  // namespace

bool is_folder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(fs::path(path), error);
}

bool list_files_under(const std::string& folder, std::vector<FolderFile>* files,
                      std::string* unread, int* error) {
  files->clear();
  // A list of folders still to read, rather than recursion: a folder may nest
  // as deep as the system allows.
  std::vector<fs::path> pending{fs::path(folder)};
  while (!pending.empty()) {
    const fs::path at = pending.back();
    pending.pop_back();
    std::error_code failure;
    fs::directory_iterator entries(at, failure);
    for (; !failure && entries != fs::directory_iterator(); entries.increment(failure)) {
      const fs::directory_entry& entry = *entries;
      std::error_code ignored;
      const bool link = entry.is_symlink(ignored);
      if (entry.is_directory(ignored) && !link) {
        pending.push_back(entry.path());
      } else {
        const FolderFile::Kind kind = entry.is_regular_file(ignored) ? FolderFile::kRegular
                                      : entry.is_directory(ignored)  ? FolderFile::kLinkedFolder
                                                                     : FolderFile::kOther;
        files->push_back(FolderFile{entry.path().string(), kind});
      }
    }
    if (failure) {
      *unread = at.string();
      *error = errno_of(failure);
      return false;
    }
  }
  std::sort(files->begin(), files->end(),
            [](const FolderFile& a, const FolderFile& b) { return a.path < b.path; });
  return true;
}

bool file_exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::path(path), error);
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(fs::path(a), fs::path(b), error) && !error;
}

bool lies_inside(const std::string& path, const std::string& folder) {
  std::error_code error;
  const fs::path inside = fs::weakly_canonical(fs::absolute(fs::path(path), error), error);
  if (error) return false;
  const fs::path top = fs::canonical(fs::path(folder), error);
  if (error) return false;
  auto p = inside.begin();
  for (auto t = top.begin(); t != top.end(); ++t, ++p) {
    // A folder path may end in a separator, which leaves an empty last part.
    if (t->empty()) continue;
    if (p == inside.end() || !same_name(*p, *t)) return false;
  }
  return true;
}

}  // namespace quarnel
