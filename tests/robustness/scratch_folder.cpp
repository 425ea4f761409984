// A scratch folder for the robustness tests, and the temporary files found in it.
#include "scratch_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace robustness {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "quarnel-robust-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
  chmod(path_.c_str(), 0755);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  // A test may have left a folder without write permission behind.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ec)) {
    if (entry.is_directory(ec)) chmod(entry.path().c_str(), 0755);
  }
  fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::listing() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ScratchFolder::put(const std::string& name, const afdtest::Bytes& bytes) const {
  std::string p = file(name);
  afdtest::write_file(p, bytes);
  return p;
}

afdtest::Bytes ScratchFolder::get(const std::string& name) const {
  // Block reads: some inputs here are tens of megabytes.
  std::FILE* f = std::fopen(file(name).c_str(), "rb");
  if (f == nullptr) throw std::runtime_error("cannot read " + name);
  afdtest::Bytes out;
  uint8_t buf[1 << 16];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + got);
  std::fclose(f);
  return out;
}

bool ScratchFolder::exists(const std::string& name) const {
  struct stat st;
  return lstat(file(name).c_str(), &st) == 0;
}

std::vector<std::string> temporaries(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& n : names) {
    if (n.rfind(".quarnel-", 0) == 0) out.push_back(n);
  }
  return out;
}

}  // namespace robustness
