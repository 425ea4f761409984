#include "output/layout.h"

#include <chrono>
#include <cmath>

#include "format/afd_format.h"
#include "io/platform.h"

namespace quarnel {

namespace {

int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrap_sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

CoverageBox widen_box(const CoverageBox& box, int32_t margin) {
  // The sum wraps like the 32-bit arithmetic it models; the empty box relies on it.
  const int32_t mean = wrap_add(box.lat_max, box.lat_min) / 2;
  const int32_t lon_margin = longitude_margin(mean, margin);
  CoverageBox out;
  const int64_t lat_max = static_cast<int64_t>(box.lat_max) + margin;
  const int64_t lat_min = static_cast<int64_t>(box.lat_min) - margin;
  out.lat_max = static_cast<int32_t>(lat_max > kLatitudeLimit ? kLatitudeLimit : lat_max);
  out.lat_min = static_cast<int32_t>(lat_min < -kLatitudeLimit ? -kLatitudeLimit : lat_min);
  out.lon_max = wrap_add(box.lon_max, lon_margin);
  out.lon_min = wrap_sub(box.lon_min, lon_margin);
  return out;
}

int write_bounds(const WriteTarget& target, BoundsPlace place, int32_t margin) {
  if (place == BoundsPlace::kHeader) {
    store_box(target.header_image.data() + kFhBounds, widen_box(target.airport_box, margin));
  } else if (place == BoundsPlace::kTrailer) {
    set_trailer_offset(target.header_image.data(), static_cast<uint32_t>(target.output.tell()));
    write_trailer(target.output, widen_box(target.ai_airport_box, margin), kNoTrailerWord);
  }
  return 0;
}

std::size_t write_trailer(OutputFile& out, const CoverageBox& box, int32_t word) {
  // A base whose word is -1 gives none: its file gets the usual one.
  if (word == kNoTrailerWord) word = static_cast<int32_t>(kDefaultTrailerWord);
  uint8_t bytes[kTrailerSize];
  put_i32(bytes, word);
  store_box(bytes + kTrailerBox, box);
  return out.write(bytes, kTrailerSize);
}

void init_header(HeaderImage& image, std::time_t now) {
  uint8_t* fh = image.data();
  uint8_t* sh = fh + kFileHeaderSize;
  image.fill(0);
  put_u16(fh + kFhVersionWord, 1);
  put_u32(fh + kFhMagic, kMagic);
  set_file_id(image, static_cast<uint32_t>(now));
  if (const std::tm* local = std::localtime(&now)) {
    put_i32(sh + kShCreatedYear, local->tm_year + 1900);
    sh[kShCreatedDay] = static_cast<uint8_t>(local->tm_mday);
    sh[kShCreatedMonth] = static_cast<uint8_t>(local->tm_mon + 1);
  }
  put_u32(sh + kShCreatedTime, static_cast<uint32_t>(now));
  put_u32(sh + kShSectionTag, kSectionTag);
  put_i32(sh + kShFormatLevel, kMinFormatLevel);
}

uint32_t fresh_file_id_seed() {
  static uint32_t drawn = 0;
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  uint64_t x = static_cast<uint64_t>(micros) ^
               (static_cast<uint64_t>(platform::process_id()) << 40) ^
               (static_cast<uint64_t>(++drawn) * 0x9E3779B97F4A7C15u);
  // splitmix64's finish: every input bit reaches every output bit, so runs a
  // microsecond or one process apart get unrelated ids.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  x ^= x >> 31;
  return static_cast<uint32_t>(x ^ (x >> 32));
}

void set_file_id(HeaderImage& image, uint32_t seed) {
  uint8_t* sh = image.data() + kFileHeaderSize;
  FileIdGenerator ids(seed);
  for (std::size_t i = 0; i < 3; ++i) put_u16(sh + kShFileId + 2 * i, ids.next());
}

std::size_t write_header_image(OutputFile& out, const HeaderImage& image) {
  return out.write(image.data(), kFileHeaderSize) +
         out.write(image.data() + kFileHeaderSize, kSectionHeaderSize);
}

void rewrite_header(OutputFile& out, const HeaderImage& image) {
  if (out.seek(0)) out.write(image.data(), kHeaderImageSize);
}

}  // namespace quarnel
