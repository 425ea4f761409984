#include "files.h"

#include "platform.h"

namespace quarnel {

// Output is written in large blocks; a record-at-a-time writer would otherwise
// cost a system call per record.
constexpr std::size_t kOutputBufferSize = 1 << 16;

bool InputFile::open(const std::string& path) {
  close();
  file_ = platform::open_input(path);
  if (file_ == nullptr) return false;
  const int64_t size = platform::file_size(file_);
  if (size < 0) {
    close();
    return false;
  }
  path_ = path;
  size_ = static_cast<uint64_t>(size);
  position_known_ = false;
  return true;
}

void InputFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
  position_known_ = false;
}

std::size_t InputFile::read_at(uint64_t offset, uint8_t* dst, std::size_t n) {
  if (file_ == nullptr || offset >= size_) return 0;
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  if (!position_known_ || position_ != offset) {
    if (!platform::seek(file_, offset)) {
      position_known_ = false;
      return 0;
    }
  }
  const std::size_t got = std::fread(dst, 1, n, file_);
  std::clearerr(file_);
  position_ = offset + got;
  position_known_ = true;
  return got;
}

bool OutputFile::create(const std::string& final_path) {
  abandon();
  if (platform::check_output_path(final_path) != platform::OutputCheck::kOk) return false;
  file_ = platform::create_temp_beside(final_path, &temp_path_);
  if (file_ == nullptr) return false;
  std::setvbuf(file_, nullptr, _IOFBF, kOutputBufferSize);
  final_path_ = final_path;
  position_ = 0;
  end_ = 0;
  failed_ = false;
  return true;
}

std::size_t OutputFile::write(const uint8_t* src, std::size_t n) {
  if (file_ == nullptr || n == 0) return 0;
  const std::size_t put = std::fwrite(src, 1, n, file_);
  if (put < n) failed_ = true;
  position_ += put;
  if (position_ > end_) end_ = position_;
  return put;
}

std::size_t OutputFile::read(uint8_t* dst, std::size_t n) {
  if (file_ == nullptr) return 0;
  const std::size_t got = std::fread(dst, 1, n, file_);
  position_ += got;
  // A read may not be followed by a write without a positioning call.
  platform::seek(file_, position_);
  return got;
}

bool OutputFile::seek(uint64_t offset) {
  if (file_ == nullptr || !platform::seek(file_, offset)) return false;
  position_ = offset;
  return true;
}

bool OutputFile::seek_end() { return seek(end_); }

bool OutputFile::commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (ok) {
    platform::adopt_final_permissions(temp_path_, final_path_);
    ok = platform::replace_file(temp_path_, final_path_);
  }
  if (!ok) platform::remove_file(temp_path_);
  temp_path_.clear();
  return ok;
}

void OutputFile::abandon() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_path_.empty()) {
    platform::remove_file(temp_path_);
    temp_path_.clear();
  }
}

}  // namespace quarnel
