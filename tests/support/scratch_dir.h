// The tests' one scratch folder: a fresh folder from mkdtemp, open to other
// users for reading (unprivileged runs must reach their inputs), removed with
// everything in it when the object goes away.
#pragma once

#include <string>
#include <vector>

#include "afd_builder.h"

namespace afdtest {

class ScratchDir {
 public:
  // Under `parent`, or else TMPDIR or /tmp.
  explicit ScratchDir(const char* parent = nullptr);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Every name in the folder, hidden ones included, sorted.
  std::vector<std::string> entries() const;
  // Writes `bytes` to `name` and returns the full path.
  std::string put(const std::string& name, const Bytes& bytes) const;
  Bytes get(const std::string& name) const;
  // Whether `name` is there, a dangling symbolic link included.
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace afdtest
