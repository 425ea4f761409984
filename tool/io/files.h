// The tool's three open-file slots: inputs that are only ever read, and an
// output that appears at its path only once it is complete.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/platform.h"

namespace quarnel {

// Sizes of the blocks that a run lends to its files: large enough that a
// stream of records costs one system call per block, small enough to stay in
// a core's cache.
constexpr std::size_t kInputWindowSize = std::size_t{1} << 17;
constexpr std::size_t kOutputBufferSize = std::size_t{1} << 17;
// Small reads far from the window are kept in blocks. A link takes the
// source's replacing airports in the base's order, so they come from anywhere
// in the source; with the blocks, a source of up to 2 MiB is read once, not
// once per airport.
constexpr std::size_t kCacheBlockSize = 4096;
constexpr std::size_t kCacheBlocks = 512;

// A read-only input. Reads are positional: the caller says where, the file
// says how many bytes were there.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { close(); }

  bool open(const std::string& path);
  void close();
  bool is_open() const { return file_ != nullptr; }
  // The system's error number (errno) of the last open() that failed.
  int open_error() const { return open_error_; }
  const std::string& path() const { return path_; }
  // Size of the file when it was opened; reads never go past it.
  uint64_t size() const { return size_; }
  // Whether a read since open() found fewer bytes than the file held then: a
  // read error, or a file cut short meanwhile.
  bool read_failed() const { return read_failed_; }
  // Whether a walk over the file's records found them damaged since open():
  // a walk that stopped short of its list's end, or a trailer offset that
  // points nowhere. The walks say so; the commands warn of it.
  bool damaged() const { return damaged_; }
  void note_damage() { damaged_ = true; }
  // Whether a record that a command needed of the file could not be read
  // whole: it no longer held what a scan had seen (it changed since), or it
  // could not be opened again. Nonzero, it counts when, among every input of
  // the run: where several were, the latest is the one named.
  uint64_t unreadable() const { return unreadable_; }
  void note_unreadable();

  // Reads up to `n` bytes at `offset`; returns how many were read.
  std::size_t read_at(uint64_t offset, uint8_t* dst, std::size_t n) {
    // Most reads fall inside the window; they are served here, inline.
    if (n > 0 && window_holds(offset, n)) {
      std::memcpy(dst, window_ + (offset - window_start_), n);
      note_window_read(offset, n);
      return n;
    }
    return read_outside_window(offset, dst, n);
  }

  // The `n` bytes at `offset` in memory, without a copy where the window can
  // hold them: a pointer into the window, valid until the next read of this
  // file, or else `scratch` (at least `n` bytes) filled by a read. Sets `got`
  // to the bytes there, fewer at the end of the file.
  const uint8_t* view(uint64_t offset, std::size_t n, uint8_t* scratch, std::size_t* got) {
    if (n > 0 && window_holds(offset, n)) {
      note_window_read(offset, n);
      *got = n;
      return window_ + (offset - window_start_);
    }
    return view_outside_window(offset, n, scratch, got);
  }

  // Reads up to `n` bytes at `offset` straight from the file, leaving the
  // window and the blocks as they are: a view into the window stays valid.
  std::size_t read_through(uint64_t offset, uint8_t* dst, std::size_t n) {
    if (file_ == nullptr || offset >= size_) return 0;
    return read_direct(offset, dst,
                       static_cast<std::size_t>(std::min<uint64_t>(n, size_ - offset)));
  }

  // Lends the file `size` bytes in which it keeps a window of its contents, so
  // that reads near one another are served without a system call. Without a
  // window every read goes to the file.
  void attach_window(uint8_t* buffer, std::size_t size);
  // Lends the file `count` (at most kCacheBlocks) blocks of kCacheBlockSize
  // bytes for the small reads that jump away from the window. A file that
  // fits into them whole is read into them at once, in one piece, and every
  // read is served from there.
  void attach_block_cache(uint8_t* blocks, std::size_t count);

 private:
  // Where a read that the window does not hold is served from.
  enum class Route { kFile, kWindow, kBlocks };
  Route route(uint64_t offset, std::size_t n) const;
  void note_window_read(uint64_t offset, std::size_t n) {
    last_end_ = offset + n;
    last_from_blocks_ = false;
  }
  const uint8_t* view_outside_window(uint64_t offset, std::size_t n, uint8_t* scratch,
                                     std::size_t* got);
  // Reads the whole file into the blocks, which then serve as its window.
  void load_whole();
  std::size_t read_direct(uint64_t offset, uint8_t* dst, std::size_t n);
  // Makes the window start at `offset` and hold at least `n` bytes, as far as
  // the file has them; returns the bytes it holds.
  std::size_t refill(uint64_t offset, std::size_t n);
  std::size_t read_outside_window(uint64_t offset, uint8_t* dst, std::size_t n);
  bool window_holds(uint64_t offset, std::size_t n) const {
    return offset >= window_start_ && offset - window_start_ <= window_len_ &&
           window_len_ - (offset - window_start_) >= n;
  }
  bool blocks_hold(uint64_t offset, std::size_t n) const;
  // Serves the read from the blocks, reading those not yet held.
  std::size_t read_blocks(uint64_t offset, uint8_t* dst, std::size_t n);

  std::FILE* file_ = nullptr;
  std::string path_;
  uint64_t size_ = 0;
  bool read_failed_ = false;
  bool damaged_ = false;
  uint64_t unreadable_ = 0;
  int open_error_ = 0;

  // What the file was lent, and what it uses: a file kept whole uses the
  // blocks as its window.
  uint8_t* lent_window_ = nullptr;
  std::size_t lent_window_size_ = 0;
  bool whole_ = false;
  uint8_t* window_ = nullptr;
  std::size_t window_size_ = 0;
  uint64_t window_start_ = 0;
  std::size_t window_len_ = 0;
  // How much the next refill reads: it grows while reads run on through the
  // file and starts small again after a jump.
  std::size_t read_ahead_ = 0;
  // Where the last read ended (a read that starts there runs on), and
  // whether it was served from the blocks.
  uint64_t last_end_ = 0;
  bool last_from_blocks_ = false;

  // Direct-mapped: block b of the file lives in slot b % block_count_. A tag
  // is the block's number + 1; 0 marks a slot that holds nothing.
  uint8_t* blocks_ = nullptr;
  std::size_t block_count_ = 0;
  std::array<uint64_t, kCacheBlocks> block_tags_{};
};

// The output is written to a temporary file beside its final path, synced, and
// renamed over it by commit(), so no reader ever sees a partial file, an
// earlier file at the path survives every failure, and after a power cut the
// path holds either the earlier file or the whole new one. A path that is a
// symbolic link stays one: the file it leads to is replaced. Bytes gather in a
// buffer and go to the file in blocks, by position, with no stdio stream in
// between.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { abandon(); }

  // Lends the file its write buffer (kept by the caller); without one a small
  // buffer of its own is used. Attach before create().
  void attach_buffer(uint8_t* buffer, std::size_t size);

  // Creates the temporary file; false when the final path cannot be written.
  bool create(const std::string& final_path);
  bool is_open() const { return file_ != nullptr; }
  // Why the last create() failed: the check of the path, or, when the path
  // passed it, kOk with the error number of making the temporary file.
  platform::OutputCheck refusal() const { return refusal_; }
  int create_error() const { return create_error_; }
  const std::string& path() const { return final_path_; }

  // Writes at the current position; returns the bytes written.
  std::size_t write(const uint8_t* src, std::size_t n);
  // Copies `n` bytes of `in` at `offset` to the current position, read
  // straight into the write buffer. Returns the bytes copied: fewer when the
  // input came up short. With `head`, its 8 bytes get the first 8
  // copied (those there are), so that a caller can check a record head.
  uint64_t copy_from(InputFile& in, uint64_t offset, uint64_t n, uint8_t* head = nullptr);
  std::size_t read(uint8_t* dst, std::size_t n);
  uint64_t tell() const { return position_; }
  uint64_t size() const { return end_; }
  bool seek(uint64_t offset);
  bool seek_end();
  // Whether any write, seek or read-back so far failed.
  bool failed() const { return failed_; }

  // Flushes, syncs, closes and moves the file to its final path, then syncs
  // that folder. Until the move fails nothing is left behind; only a failing
  // sync of the folder after it returns false with the new file in place.
  bool commit();
  // Drops the temporary file; the final path is untouched.
  void abandon();
  // Whether the last file created was moved to its final path.
  bool committed() const { return committed_; }

  // Removes the temporary file of every output still being written, and
  // nothing else: for a run that ends without unwinding (std::terminate).
  static void remove_live_temporaries() noexcept;

 private:
  // Writes what the buffer holds at its place in the file.
  bool flush();
  uint8_t* room() { return buffer_ + fill_; }
  void advance(std::size_t n);

  std::FILE* file_ = nullptr;
  std::string final_path_;
  std::string target_path_;  // final_path_ with its symbolic links followed
  std::string temp_path_;
  // The outputs whose temporary files exist, for remove_live_temporaries.
  OutputFile* next_live_ = nullptr;
  bool committed_ = false;
  void set_live(bool live);
  uint8_t* buffer_ = nullptr;
  std::size_t buffer_size_ = 0;
  std::array<uint8_t, 4096> own_buffer_{};
  // The buffer holds `fill_` bytes that belong at `buffer_at_` in the file.
  uint64_t buffer_at_ = 0;
  std::size_t fill_ = 0;
  uint64_t position_ = 0;
  uint64_t end_ = 0;
  bool failed_ = false;
  platform::OutputCheck refusal_ = platform::OutputCheck::kOk;
  int create_error_ = 0;
};

}  // namespace quarnel
