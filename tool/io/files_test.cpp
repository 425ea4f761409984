// Tests of the input window, the block cache and the output written through a temporary file.
#include "io/files.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using FilesTest = ToolTest;

Bytes random_bytes(std::size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (uint8_t& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// Whatever the window's size, the block cache's size and the pattern of reads
// (runs through the file, jumps back and forth, small reads far apart, reads
// across the end, reads larger than the window), every read returns exactly
// the file's bytes and counts.
TEST_F(FilesTest, WindowedReadsReturnTheFilesBytes) {
  const Bytes content = random_bytes(300007, 7);
  const std::string path = put("in.bin", content);
  std::vector<uint8_t> window(kInputWindowSize);
  std::vector<uint8_t> blocks(kCacheBlocks * kCacheBlockSize);
  const std::size_t windows[] = {0, 1, 7, 4096, 65536, kInputWindowSize};
  const std::size_t caches[] = {0, 1, 3, kCacheBlocks};
  for (int config = 0; config < 24; ++config) {
    const std::size_t window_size = windows[config % 6];
    const std::size_t cache_blocks = caches[config / 6];
    SCOPED_TRACE(::testing::Message() << "window " << window_size << ", blocks " << cache_blocks);
    InputFile in;
    in.attach_window(window.data(), window_size);
    in.attach_block_cache(blocks.data(), cache_blocks);
    ASSERT_TRUE(in.open(path));
    std::mt19937_64 rng(static_cast<uint64_t>(config));
    uint64_t offset = 0;
    std::vector<uint8_t> got(200000);
    // With 512 blocks the file is kept whole: the first read takes all of it.
    for (int i = 0; i < 4000; ++i) {
      std::size_t n = 0;
      switch (rng() % 7) {
        case 0:
          offset = rng() % (content.size() + 50);
          n = rng() % 64;
          break;  // jump
        case 1:
          n = 8;
          break;  // a head
        case 2:
          n = rng() % 64000;
          break;  // a record
        case 3:
          offset -= std::min<uint64_t>(offset, rng() % 300);
          n = rng() % 500;
          break;
        case 4:
          offset = content.size() - rng() % 100;
          n = rng() % 200;
          break;  // the end
        case 5:
          offset = rng() % content.size();
          n = rng() % 9000;
          break;  // a jump to a record that may span blocks
        default:
          n = rng() % 2 == 0 ? 0 : 150000 + rng() % 50000;
          break;  // huge
      }
      // Every other read looks at the bytes in place where it can.
      std::size_t count = 0;
      const uint8_t* at = got.data();
      if (i % 2 == 0) {
        count = in.read_at(offset, got.data(), n);
      } else {
        at = in.view(offset, n, got.data(), &count);
      }
      const std::size_t expected =
          offset >= content.size() ? 0 : std::min<std::size_t>(n, content.size() - offset);
      ASSERT_EQ(count, expected) << "read " << i;
      ASSERT_TRUE(std::equal(
          at, at + count,
          content.begin() + static_cast<long>(std::min<uint64_t>(offset, content.size()))))
          << "window " << window_size << ", read " << i << " at " << offset;
      offset += count;
    }
  }
}

TEST_F(FilesTest, ReopeningForgetsTheWindowAndTheBlocks) {
  std::vector<uint8_t> window(4096);
  std::vector<uint8_t> blocks(4 * kCacheBlockSize);
  const std::string a = put("a.bin", Bytes(100000, 0xAA));
  const std::string b = put("b.bin", Bytes(100000, 0xBB));
  InputFile in;
  in.attach_window(window.data(), window.size());
  in.attach_block_cache(blocks.data(), 4);
  for (const auto& [path, value] : {std::pair{a, 0xAA}, std::pair{b, 0xBB}}) {
    ASSERT_TRUE(in.open(path));
    // At the start (the window), then far away (the blocks).
    for (const uint64_t offset : {uint64_t{10}, uint64_t{90000}}) {
      uint8_t byte = 0;
      ASSERT_EQ(in.read_at(offset, &byte, 1), 1u);
      EXPECT_EQ(byte, value) << offset;
    }
  }
}

// Reads stop at the size the file had when it was opened; a file cut short
// since fails the reads that reach past its new end, and only those, until it
// is opened again.
TEST_F(FilesTest, AFileCutShortAfterOpenFailsItsReads) {
  const std::string path = put("in.bin", random_bytes(50000, 5));
  InputFile in;
  ASSERT_TRUE(in.open(path));
  uint8_t buf[100];
  EXPECT_EQ(in.read_at(49950, buf, 100), 50u);
  EXPECT_FALSE(in.read_failed()) << "the end of the file is no failure";
  std::filesystem::resize_file(path, 30000);
  EXPECT_EQ(in.read_at(10, buf, 100), 100u);
  EXPECT_FALSE(in.read_failed());
  EXPECT_EQ(in.read_at(40000, buf, 100), 0u);
  EXPECT_TRUE(in.read_failed());
  ASSERT_TRUE(in.open(path));
  EXPECT_FALSE(in.read_failed());
  EXPECT_EQ(in.read_at(29950, buf, 100), 50u);
  EXPECT_FALSE(in.read_failed());
}

// A file kept whole in the blocks that shrinks before its first read serves
// what is still there, and reads beyond come up short, as from the file.
TEST_F(FilesTest, WholeFileThatShrankComesUpShort) {
  const Bytes content = random_bytes(50000, 5);
  const std::string path = put("in.bin", content);
  std::vector<uint8_t> window(4096);
  std::vector<uint8_t> blocks(kCacheBlocks * kCacheBlockSize);
  InputFile in;
  in.attach_window(window.data(), window.size());
  in.attach_block_cache(blocks.data(), kCacheBlocks);
  ASSERT_TRUE(in.open(path));
  std::filesystem::resize_file(path, 30000);
  std::vector<uint8_t> got(30000);
  EXPECT_EQ(in.read_at(29990, got.data(), 100), 10u);
  EXPECT_EQ(in.read_at(40000, got.data(), 8), 0u);
  std::size_t n = 0;
  in.view(35000, 8, got.data(), &n);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(in.read_at(0, got.data(), 30000), 30000u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), content.begin()));
}

// Ranges copied from an input land in the output byte for byte, whatever the
// write buffer's size and wherever they fall against its end: small runs, runs
// read straight from the file, pieces larger than the buffer, and ranges cut
// short by the input's end, which report how much they copied. Writes between
// them, seeks back to read and patch, and the seek to the end give the same
// file as the plain stream would.
TEST_F(FilesTest, CopiedRangesArriveWhole) {
  const Bytes content = random_bytes(500000, 13);
  const std::string in_path = put("in.bin", content);
  std::vector<uint8_t> window(kInputWindowSize);
  std::vector<uint8_t> buffer(kOutputBufferSize);
  for (const std::size_t buffer_size : {std::size_t{0}, std::size_t{1000}, kOutputBufferSize}) {
    SCOPED_TRACE(::testing::Message() << "buffer " << buffer_size);
    InputFile in;
    in.attach_window(window.data(), window.size());
    ASSERT_TRUE(in.open(in_path));
    OutputFile out;
    out.attach_buffer(buffer.data(), buffer_size);
    const std::string out_path = dir.file("out.bin");
    ASSERT_TRUE(out.create(out_path));
    Bytes expected;
    std::mt19937_64 rng(buffer_size);
    for (int i = 0; i < 300; ++i) {
      const uint64_t offset = rng() % (content.size() + 100);
      const uint64_t sizes[] = {rng() % 600, rng() % 40000, 100000 + rng() % 200000};
      const uint64_t n = sizes[rng() % 3];
      const uint64_t there = offset >= content.size() ? 0 : content.size() - offset;
      const uint64_t copied = out.copy_from(in, offset, n);
      ASSERT_EQ(copied, std::min(n, there)) << "copy " << i << " at " << offset;
      expected.insert(
          expected.end(),
          content.begin() + static_cast<long>(std::min(offset, uint64_t{content.size()})),
          content.begin() + static_cast<long>(std::min(offset, uint64_t{content.size()}) + copied));
      if (i % 7 == 0) {  // written, not copied: a mark, or a run that may fill the buffer
        const Bytes mark = i % 2 == 0 ? Bytes{0xEE, static_cast<uint8_t>(i), 0xEE}
                                      : random_bytes(rng() % 70000, static_cast<uint32_t>(i));
        ASSERT_EQ(out.write(mark.data(), mark.size()), mark.size());
        expected.insert(expected.end(), mark.begin(), mark.end());
      }
      ASSERT_EQ(out.tell(), expected.size());
    }
    // Back to read what was written and to patch it, then on at the end.
    uint8_t head[8];
    ASSERT_TRUE(out.seek(1000));
    ASSERT_EQ(out.read(head, 8), 8u);
    EXPECT_TRUE(std::equal(head, head + 8, expected.begin() + 1000));
    const uint8_t patch[4] = {1, 2, 3, 4};
    ASSERT_TRUE(out.seek(1004));
    ASSERT_EQ(out.write(patch, 4), 4u);
    std::copy(patch, patch + 4, expected.begin() + 1004);
    ASSERT_TRUE(out.seek_end());
    ASSERT_EQ(out.write(patch, 4), 4u);
    expected.insert(expected.end(), patch, patch + 4);
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(afdtest::read_file(out_path), expected);
  }
}

}  // namespace
}  // namespace quarnel::testing
