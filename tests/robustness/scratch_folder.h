// Small file helpers of the robustness tests: a private folder, files in it,
// and their contents.
#pragma once

#include <string>
#include <vector>

#include "afd_builder.h"

namespace robustness {

// A folder from mkdtemp, open to other users for reading (the unprivileged
// runs must reach their inputs), removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Every name in the folder, hidden ones included, sorted.
  std::vector<std::string> listing() const;
  // Writes `bytes` to `name` and returns the full path.
  std::string put(const std::string& name, const afdtest::Bytes& bytes) const;
  afdtest::Bytes get(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// Names in `names` that start with the temporary-file prefix.
std::vector<std::string> temporaries(const std::vector<std::string>& names);

}  // namespace robustness
