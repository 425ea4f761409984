#include "scratch_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace afdtest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const char* parent) {
  const char* tmp = parent != nullptr ? parent : std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/quarnel-test-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
  chmod(path_.c_str(), 0755);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // A test may have left a folder without write permission behind.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ec)) {
    if (entry.is_directory(ec)) chmod(entry.path().c_str(), 0755);
  }
  fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ScratchDir::put(const std::string& name, const Bytes& bytes) const {
  std::string p = file(name);
  write_file(p, bytes);
  return p;
}

Bytes ScratchDir::get(const std::string& name) const { return read_file(file(name)); }

bool ScratchDir::exists(const std::string& name) const {
  struct stat st;
  return lstat(file(name).c_str(), &st) == 0;
}

}  // namespace afdtest
