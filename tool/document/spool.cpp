#include "document/spool.h"

#include <algorithm>

#include "io/platform.h"

namespace quarnel {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;

}  // namespace

Spool::~Spool() {
  if (file_ != nullptr) std::fclose(file_);
}

bool Spool::open_beside(const std::string& path) {
  file_ = platform::create_scratch_beside(path);
  buffer_.resize(kBlock);
  return file_ != nullptr;
}

bool Spool::flush() {
  if (fill_ > 0 && platform::write_at(file_, size_ - fill_, buffer_.data(), fill_) < fill_) {
    failed_ = true;
  }
  fill_ = 0;
  return !failed_;
}

void Spool::append(const uint8_t* bytes, std::size_t n) {
  while (n > 0) {
    if (fill_ == buffer_.size()) flush();
    const std::size_t k = std::min(n, buffer_.size() - fill_);
    std::copy(bytes, bytes + k, buffer_.begin() + static_cast<std::ptrdiff_t>(fill_));
    fill_ += k;
    size_ += k;
    bytes += k;
    n -= k;
  }
}

bool Spool::read(uint64_t at, uint8_t* dst, std::size_t n) {
  if (!flush()) return false;
  if (n > 0 && platform::read_back_at(file_, at, dst, n) < n) failed_ = true;
  return !failed_;
}

// The spool's own buffer, emptied first, carries the blocks.
bool Spool::copy_to(OutputFile& out, uint64_t at, uint64_t n) {
  if (!flush()) return false;
  for (; n > 0;) {
    const std::size_t k = static_cast<std::size_t>(std::min<uint64_t>(n, buffer_.size()));
    if (!read(at, buffer_.data(), k) || out.write(buffer_.data(), k) < k) return false;
    at += k;
    n -= k;
  }
  return true;
}

bool Spool::copy_to(std::FILE* out, uint64_t at, uint64_t n) {
  if (!flush()) return false;
  for (; n > 0;) {
    const std::size_t k = static_cast<std::size_t>(std::min<uint64_t>(n, buffer_.size()));
    if (!read(at, buffer_.data(), k) || std::fwrite(buffer_.data(), 1, k, out) < k) return false;
    at += k;
    n -= k;
  }
  return true;
}

}  // namespace quarnel
