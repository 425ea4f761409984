// The layout of a new file around its records: the header image with its
// offsets and coverage bounds, and the trailer with the AI airports' box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "format/coverage.h"
#include "io/files.h"
#include "output/write_target.h"
#include "scan/source_walk.h"

namespace quarnel {

// What a new file's bounds are widened by, beyond its airports.
constexpr int32_t kBoundsMargin = 5000;

// Where write_bounds puts a box.
enum class BoundsPlace {
  kHeader,   // the widened airport box, into the header image
  kTrailer,  // the widened AI-airport box, as the trailer at the output's position
};

// The generator behind a new file's file_id: bits 16..30 of each new state.
class FileIdGenerator {
 public:
  explicit FileIdGenerator(uint32_t seed) : state_(seed) {}
  uint16_t next() {
    state_ = state_ * 22695477u + 1u;
    return static_cast<uint16_t>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

// `box` widened by `margin`: latitudes clamped, longitudes widened by a margin
// that grows toward the poles, and wrapping as 32-bit values do.
CoverageBox widen_box(const CoverageBox& box, int32_t margin);

// Puts the airport box, widened by `margin`, into the header image, or
// writes the AI-airport box, widened, as the trailer at the output's position
// (with the trailer word a new file gets) and points the header image at it.
// Returns 0.
int write_bounds(const WriteTarget& target, BoundsPlace place, int32_t margin);
// Writes a trailer of `word` (0x2000033F for kNoTrailerWord or -1) and `box`
// as they are at the output's position. Returns the bytes written.
std::size_t write_trailer(OutputFile& out, const CoverageBox& box, int32_t word);

// The header image of a new file written at `now`, its file id drawn from
// `now` as the link and the extract draw it.
void init_header(HeaderImage& image, std::time_t now);
// A seed for a file id of its own: the time in microseconds, the process id
// and a count of the seeds drawn, mixed. The seconds alone gave every file
// written within one second the same id.
uint32_t fresh_file_id_seed();
// Sets the header image's file id to the one FileIdGenerator draws from `seed`.
void set_file_id(HeaderImage& image, uint32_t seed);
// Writes the header image at the output's position, the file header first.
// Returns the bytes written.
std::size_t write_header_image(OutputFile& out, const HeaderImage& image);
// Writes the header image again over the output's first bytes, as it stands
// once the trailer's place is known; the output then stands behind it.
void rewrite_header(OutputFile& out, const HeaderImage& image);

}  // namespace quarnel
