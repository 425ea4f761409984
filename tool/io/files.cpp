#include "io/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/platform.h"

namespace quarnel {

// The first read after a jump. The records a command reads far apart (the
// replacing airports of a link, taken in the base's order) then cost a small
// read each instead of a whole window; a run of reads doubles it up to the
// window's size.
constexpr std::size_t kFirstReadAhead = 4096;
// A read at least this large away from the window goes from the file straight
// to its destination: passing it through the window would only add a copy of
// every byte.
constexpr std::size_t kDirectReadSize = std::size_t{16} << 10;
// What copy_from hands back of a record's first bytes: its head.
constexpr std::size_t kHeadBytes = 8;

void InputFile::attach_window(uint8_t* buffer, std::size_t size) {
  lent_window_ = size > 0 ? buffer : nullptr;
  lent_window_size_ = lent_window_ != nullptr ? size : 0;
  window_ = lent_window_;
  window_size_ = lent_window_size_;
  window_len_ = 0;
}

void InputFile::attach_block_cache(uint8_t* blocks, std::size_t count) {
  if (count > kCacheBlocks) count = kCacheBlocks;
  blocks_ = count > 0 ? blocks : nullptr;
  block_count_ = blocks_ != nullptr ? count : 0;
  block_tags_.fill(0);
}

bool InputFile::open(const std::string& path) {
  close();
  file_ = platform::open_input(path);
  if (file_ == nullptr) {
    open_error_ = errno;
    return false;
  }
  const int64_t size = platform::file_size(file_);
  if (size < 0) {
    open_error_ = errno;
    close();
    return false;
  }
  path_ = path;
  size_ = static_cast<uint64_t>(size);
  // A file that the blocks can hold is read once, whole, on its first read:
  // one system call, and no read of it ever goes to the file again.
  whole_ = blocks_ != nullptr && size_ <= block_count_ * kCacheBlockSize;
  return true;
}

void InputFile::note_unreadable() {
  static uint64_t noted = 0;
  unreadable_ = ++noted;
}

void InputFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
  read_failed_ = false;
  damaged_ = false;
  unreadable_ = 0;
  whole_ = false;
  window_ = lent_window_;
  window_size_ = lent_window_size_;
  window_start_ = 0;
  window_len_ = 0;
  read_ahead_ = 0;
  last_end_ = 0;
  last_from_blocks_ = false;
  block_tags_.fill(0);
}

void InputFile::load_whole() {
  window_ = blocks_;
  window_size_ = block_count_ * kCacheBlockSize;
  window_start_ = 0;
  // A file that came up short keeps what it gave; reads beyond come up short.
  window_len_ = read_direct(0, window_, static_cast<std::size_t>(size_));
  whole_ = false;
}

InputFile::Route InputFile::route(uint64_t offset, std::size_t n) const {
  // Blocks that hold the whole file are its window and must stay as they are.
  if (window_ == nullptr || window_ == blocks_ || n > window_size_) return Route::kFile;
  if (window_holds(offset, n)) return Route::kWindow;
  const bool near_window = offset >= window_start_ && offset - window_start_ <= window_len_;
  // A run of reads goes on through the window, which reads ahead in large
  // pieces; a large read elsewhere goes straight to its destination.
  if (n >= kDirectReadSize && !near_window) return Route::kFile;
  const bool jump = offset != last_end_ && !near_window;
  const bool from_blocks =
      blocks_hold(offset, n) || (blocks_ != nullptr && n <= kCacheBlockSize &&
                                 (jump || (offset == last_end_ && last_from_blocks_)));
  return from_blocks ? Route::kBlocks : Route::kWindow;
}

std::size_t InputFile::read_outside_window(uint64_t offset, uint8_t* dst, std::size_t n) {
  if (whole_) load_whole();
  if (file_ == nullptr || offset >= size_ || n == 0) return 0;
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  std::size_t got = 0;
  const Route r = route(offset, n);
  if (r == Route::kFile) {
    got = read_direct(offset, dst, n);
  } else if (r == Route::kBlocks) {
    // A small read away from the window, or the rest of a record whose head
    // came from the blocks.
    got = read_blocks(offset, dst, n);
  } else {
    if (!window_holds(offset, n)) refill(offset, n);
    const auto at = static_cast<std::size_t>(offset - window_start_);
    got = std::min(n, window_len_ - at);
    std::memcpy(dst, window_ + at, got);
  }
  last_end_ = offset + got;
  last_from_blocks_ = r == Route::kBlocks;
  return got;
}

const uint8_t* InputFile::view_outside_window(uint64_t offset, std::size_t n, uint8_t* scratch,
                                              std::size_t* got) {
  if (whole_) load_whole();
  const bool in_file = file_ != nullptr && offset < size_ && n > 0;
  if (in_file && n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  // Whatever the window can hold is brought into it, unless the read belongs
  // to the blocks: a scan walks on through the window with no copy.
  if (in_file && window_ != nullptr && window_ != blocks_ && n <= window_size_ &&
      route(offset, n) != Route::kBlocks) {
    if (!window_holds(offset, n)) refill(offset, n);
    const auto at = static_cast<std::size_t>(offset - window_start_);
    *got = std::min(n, window_len_ - at);
    note_window_read(offset, *got);
    return window_ + at;
  }
  *got = read_at(offset, scratch, n);
  return scratch;
}

bool InputFile::blocks_hold(uint64_t offset, std::size_t n) const {
  if (blocks_ == nullptr) return false;
  const uint64_t last = (offset + n - 1) / kCacheBlockSize;
  for (uint64_t b = offset / kCacheBlockSize; b <= last; ++b) {
    if (block_tags_[b % block_count_] != b + 1) return false;
  }
  return true;
}

std::size_t InputFile::read_blocks(uint64_t offset, uint8_t* dst, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const uint64_t pos = offset + done;
    const uint64_t b = pos / kCacheBlockSize;
    const uint64_t start = b * kCacheBlockSize;
    const auto slot = static_cast<std::size_t>(b % block_count_);
    uint8_t* block = blocks_ + slot * kCacheBlockSize;
    auto len = static_cast<std::size_t>(std::min<uint64_t>(kCacheBlockSize, size_ - start));
    if (block_tags_[slot] != b + 1) {
      // Only whole blocks are kept: a file that came up short is asked again.
      const std::size_t got = read_direct(start, block, len);
      block_tags_[slot] = got == len ? b + 1 : 0;
      len = got;
    }
    const auto at = static_cast<std::size_t>(pos - start);
    if (at >= len) break;
    const std::size_t take = std::min(n - done, len - at);
    std::memcpy(dst + done, block + at, take);
    done += take;
  }
  return done;
}

std::size_t InputFile::refill(uint64_t offset, std::size_t n) {
  const bool runs_on =
      window_len_ > 0 && offset >= window_start_ && offset - window_start_ <= window_len_;
  // A read a little way past the window (the next of the records an extract
  // copies out of a name list, say) is a run with gaps: it grows the
  // read-ahead too, rather than costing a small read each.
  const bool further_on = window_len_ > 0 && offset >= window_start_ &&
                          offset - window_start_ <= window_len_ + window_size_;
  const std::size_t ahead =
      further_on ? std::max(2 * read_ahead_, kFirstReadAhead) : kFirstReadAhead;
  read_ahead_ = std::min(ahead, window_size_);
  // What the window already holds of the new span moves to its front.
  std::size_t keep = 0;
  if (runs_on) {
    const auto at = static_cast<std::size_t>(offset - window_start_);
    keep = window_len_ - at;
    std::memmove(window_, window_ + at, keep);
  }
  uint64_t want = std::max(n, read_ahead_);
  if (want > size_ - offset) want = size_ - offset;
  window_start_ = offset;
  window_len_ = keep;
  if (want > keep) {
    window_len_ +=
        read_direct(offset + keep, window_ + keep, static_cast<std::size_t>(want - keep));
  }
  return window_len_;
}

std::size_t InputFile::read_direct(uint64_t offset, uint8_t* dst, std::size_t n) {
  // Callers ask only for bytes below size(): any shortfall is a failure.
  const std::size_t got = platform::read_at(file_, offset, dst, n);
  if (got < n) read_failed_ = true;
  return got;
}

void OutputFile::attach_buffer(uint8_t* buffer, std::size_t size) {
  buffer_ = size > 0 ? buffer : nullptr;
  buffer_size_ = buffer_ != nullptr ? size : 0;
}

bool OutputFile::create(const std::string& final_path) {
  abandon();
  committed_ = false;
  create_error_ = 0;
  refusal_ = platform::check_output_path(final_path, &target_path_);
  if (refusal_ != platform::OutputCheck::kOk) return false;
  file_ = platform::create_temp_beside(target_path_, &temp_path_);
  if (file_ == nullptr) {
    create_error_ = errno;
    return false;
  }
  set_live(true);
  if (buffer_ == nullptr) attach_buffer(own_buffer_.data(), own_buffer_.size());
  final_path_ = final_path;
  buffer_at_ = 0;
  fill_ = 0;
  position_ = 0;
  end_ = 0;
  failed_ = false;
  return true;
}

bool OutputFile::flush() {
  if (fill_ > 0) {
    if (platform::write_at(file_, buffer_at_, buffer_, fill_) < fill_) failed_ = true;
    buffer_at_ += fill_;
    fill_ = 0;
  }
  return !failed_;
}

void OutputFile::advance(std::size_t n) {
  fill_ += n;
  position_ += n;
  if (position_ > end_) end_ = position_;
}

std::size_t OutputFile::write(const uint8_t* src, std::size_t n) {
  if (file_ == nullptr || n == 0) return 0;
  if (n > buffer_size_ - fill_) flush();
  if (n <= buffer_size_) {
    std::memcpy(room(), src, n);
    advance(n);
    return n;
  }
  const std::size_t put = platform::write_at(file_, position_, src, n);
  if (put < n) failed_ = true;
  buffer_at_ += put;
  position_ += put;
  if (position_ > end_) end_ = position_;
  return put;
}

uint64_t OutputFile::copy_from(InputFile& in, uint64_t offset, uint64_t n, uint8_t* head) {
  if (file_ == nullptr) return 0;
  uint64_t done = 0;
  while (done < n) {
    const uint64_t left = n - done;
    // A large piece starts a fresh buffer, so that a read straight from the
    // file brings it whole rather than split at the buffer's end.
    if (fill_ == buffer_size_ || (left > buffer_size_ - fill_ && left >= kDirectReadSize)) flush();
    const std::size_t piece =
        static_cast<std::size_t>(std::min<uint64_t>(left, buffer_size_ - fill_));
    const std::size_t got = in.read_at(offset + done, room(), piece);
    if (head != nullptr && done < kHeadBytes) {
      const auto take = static_cast<std::size_t>(std::min<uint64_t>(kHeadBytes - done, got));
      std::memcpy(head + done, room(), take);
    }
    advance(got);
    done += got;
    if (got < piece) break;
  }
  return done;
}

std::size_t OutputFile::read(uint8_t* dst, std::size_t n) {
  if (file_ == nullptr) return 0;
  flush();
  const std::size_t got = platform::read_back_at(file_, position_, dst, n);
  // Only bytes written before are read back: a short read is an error.
  if (got < n) failed_ = true;
  position_ += got;
  buffer_at_ = position_;
  return got;
}

bool OutputFile::seek(uint64_t offset) {
  if (file_ == nullptr) return false;
  flush();
  position_ = offset;
  buffer_at_ = offset;
  return true;
}

bool OutputFile::seek_end() { return seek(end_); }

bool OutputFile::commit() {
  if (file_ == nullptr) return false;
  flush();
  bool ok = !failed_;
  // Before the sync, so that the permissions last as well as the data.
  if (ok) platform::adopt_final_permissions(temp_path_, target_path_);
  // Without the sync the rename could reach the disk before the data, and a
  // power cut would leave an empty or partial file in place of a good one.
  ok = ok && platform::sync(file_);
  ok = platform::close_output(file_) && ok;
  file_ = nullptr;
  ok = ok && platform::replace_file(temp_path_, target_path_);
  committed_ = ok;
  if (!ok) platform::remove_file(temp_path_);
  temp_path_.clear();
  set_live(false);
  // The rename lasts only once its folder is synced. It cannot be taken back,
  // so a failure here leaves the whole new file in place, and is reported.
  return ok && platform::sync_folder_of(target_path_);
}

void OutputFile::abandon() {
  fill_ = 0;
  if (file_ != nullptr) {
    platform::close_output(file_);
    file_ = nullptr;
  }
  if (!temp_path_.empty()) {
    platform::remove_file(temp_path_);
    temp_path_.clear();
  }
  set_live(false);
}

namespace {

OutputFile* g_live_outputs = nullptr;

}  // namespace

void OutputFile::set_live(bool live) {
  OutputFile** link = &g_live_outputs;
  while (*link != nullptr && *link != this) link = &(*link)->next_live_;
  if (live && *link == nullptr) {
    next_live_ = g_live_outputs;
    g_live_outputs = this;
  } else if (!live && *link == this) {
    *link = next_live_;
    next_live_ = nullptr;
  }
}

void OutputFile::remove_live_temporaries() noexcept {
  for (OutputFile* o = g_live_outputs; o != nullptr; o = o->next_live_) {
    if (!o->temp_path_.empty()) platform::remove_file(o->temp_path_);
  }
}

}  // namespace quarnel
